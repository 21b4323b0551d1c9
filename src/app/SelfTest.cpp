// The diagnostic self test (Shift + "&About Marnel...").
#include "app/SelfTest.h"

#include <memory>

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "app/WaitCursor.h"
#include "files/FileException.h"
#include "ops/BackupStore.h"
#include "ops/SelfTest.h"
#include "protocol/DevicePort.h"
#include "res/Resource.h"

namespace marnel {

bool RunSelfTest(CDevicePort& port, const std::string& printerName, CBackupStore& backups,
                 IDialogs& dialogs) {
    AfxMessageBox(dialogs, TXT_SELFTEST_START, kMbOk);
    bool allSucceeded = true;
    try {
        RunSelfTestSteps(port, printerName, backups, [&](const SelfTestResult& result) {
            allSucceeded = allSucceeded && result.ok;
            // A write's own report of exhausted memory comes before the step's box.
            for (int i = 0; i < result.outOfMemory; ++i) {
                ReportOutOfMemory(dialogs);
            }
            const DWORD type = result.ok ? kMbOk | kMbIconInformation : kMbOk;
            for (const std::string& line : SelfTestStepLines(result)) {
                AfxMessageBox(dialogs, line, type);
            }
        });
    } catch (const CFileException& error) {
        ReportFileError(dialogs, error);
        return false;
    }
    return allSucceeded;
}

void CQuillKQDlg::SelfTest() {
    CWaitCursor wait(m_window);
    // A copy taken now: a re-selection during a box may change the name.
    const std::string printerName = m_strPrinterName;
    const std::unique_ptr<CDevicePort> port = MakePort();
    CBackupStore backups(*m_services.fileSystem, *m_services.environment);
    const bool succeeded = RunSelfTest(*port, printerName, backups, m_dialogs);
    if (!backups.LastSaved().empty()) {  // only a test that reached the device changed it
        HistoryEntry change;
        change.operation = "self-test";
        change.printer = printerName;
        change.backup = backups.LastSaved();
        change.outcome = succeeded ? "succeeded" : "failed";
        RecordChange(change);
    }
}

}  // namespace marnel
