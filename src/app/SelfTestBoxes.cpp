// The diagnostic self test (Shift + "&About Marnel...").
#include "app/SelfTestBoxes.h"

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "app/WaitCursor.h"
#include "ops/SelfTest.h"
#include "res/Resource.h"

namespace marnel {

bool ShowSelfTest(CDeviceAccess& access, const std::string& printerName, const ChangeLog& log,
                  IDialogs& dialogs) {
    AfxMessageBox(dialogs, TXT_SELFTEST_START, kMbOk);
    const SelfTestOutcome outcome = RunSelfTest(
        access, printerName,
        [&](const SelfTestResult& result) {
            // A write's own report of exhausted memory comes before the step's box.
            for (int i = 0; i < result.outOfMemory; ++i) {
                ReportOutOfMemory(dialogs);
            }
            const DWORD type = result.ok ? kMbOk | kMbIconInformation : kMbOk;
            for (const std::string& line : SelfTestStepLines(result)) {
                AfxMessageBox(dialogs, line, type);
            }
        },
        CNeverCancel(), log);
    if (outcome.fileError) {
        ReportFileError(dialogs, *outcome.fileError);
    }
    return outcome.Succeeded();
}

void CQuillKQDlg::SelfTest() {
    CWaitCursor wait(m_window);
    // A copy taken now: a re-selection during a box may change the name.
    const std::string printerName = m_strPrinterName;
    CDeviceAccess access = MakeAccess();
    ShowSelfTest(access, printerName, MakeChangeLog(), m_dialogs);
}

}  // namespace marnel
