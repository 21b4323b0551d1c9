// The diagnostic self test (Shift + "&About Marnel...").
#include "app/SelfTest.h"

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "app/WaitCursor.h"
#include "files/FileException.h"
#include "ops/BackupStore.h"
#include "ops/SelfTest.h"
#include "res/Resource.h"

namespace marnel {

void RunSelfTest(CDevicePort& port, const std::string& printerName, CBackupStore& backups,
                 IDialogs& dialogs) {
    AfxMessageBox(dialogs, TXT_SELFTEST_START, kMbOk);
    try {
        RunSelfTestSteps(port, printerName, backups, [&dialogs](const SelfTestResult& result) {
            const DWORD type = result.ok ? kMbOk | kMbIconInformation : kMbOk;
            for (const std::string& line : SelfTestStepLines(result)) {
                AfxMessageBox(dialogs, line, type);
            }
        });
    } catch (const CFileException& error) {
        ReportFileError(dialogs, error);
    }
}

void CQuillKQDlg::SelfTest() {
    CWaitCursor wait(m_window);
    // A copy taken now: a re-selection during a box may change the name.
    const std::string printerName = m_strPrinterName;
    CDevicePort port(m_services);
    CBackupStore backups(*m_services.fileSystem, *m_services.environment);
    RunSelfTest(port, printerName, backups, m_dialogs);
}

}  // namespace marnel
