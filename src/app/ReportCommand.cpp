// Get Report: the device's report in the report window.
#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "app/ReportDlg.h"
#include "app/WaitCursor.h"
#include "ops/DeviceReads.h"
#include "res/Resource.h"

namespace marnel {

void CQuillKQDlg::OnGetReport() {
    OpenedDevice device;
    if (!OpenDeviceOrSay(&device)) {
        return;
    }
    CWaitCursor wait(m_window);
    // Held for the whole command: the window borrows its buffer.
    const ReportOutcome report = ReadReport(device);
    if (!report.Succeeded()) {
        AfxMessageBox(m_dialogs, IDS_FAILED_GET_REPORT);
        return;
    }
    CReportDlg dialog(report.buffer.data(), report.buffer.size(), m_dialogs,
                      *m_services.fileSystem);
    dialog.m_pFont = &m_font;
    m_window.RunReportWindow(dialog);
}

}  // namespace marnel
