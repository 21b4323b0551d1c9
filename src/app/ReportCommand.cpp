// Get Report: the device's report in the report window.
#include <cstdint>

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "app/ReportDlg.h"
#include "app/WaitCursor.h"
#include "protocol/DevicePort.h"
#include "res/Resource.h"

namespace marnel {

void CQuillKQDlg::OnGetReport() {
    const std::unique_ptr<CDevicePort> port = MakePort();
    if (!OpenPortOrSay(*port)) {
        return;
    }
    CWaitCursor wait(m_window);
    // Held for the whole command: the window borrows it.
    char report[kReportBufferSize] = {};
    if (!port->ReadReport(reinterpret_cast<std::uint8_t*>(report),
                          static_cast<DWORD>(kReportBufferSize))) {
        AfxMessageBox(m_dialogs, IDS_FAILED_GET_REPORT);
        return;
    }
    CReportDlg dialog(report, kReportBufferSize, m_dialogs, *m_services.fileSystem);
    dialog.m_pFont = &m_font;
    m_window.RunReportWindow(dialog);
}

}  // namespace marnel
