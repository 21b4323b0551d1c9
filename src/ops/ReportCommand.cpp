// Get Report: the device's report in the report window.
#include <cstdint>

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "ops/ReportDlg.h"
#include "protocol/DevicePort.h"
#include "protocol/VendorRequests.h"
#include "res/Resource.h"

namespace marnel {

void CQuillKQDlg::OnGetReport() {
    CDevicePort port(m_services);
    if (!port.Open(m_strPrinterName)) {
        AfxMessageBox(m_ui, IDS_FAILED_CONNECT);
        return;
    }
    m_ui.BeginWaitCursor();
    // Held for the whole command: the window borrows it.
    char report[kReportBufferSize] = {};
    if (!port.ReadReport(reinterpret_cast<std::uint8_t*>(report),
                         static_cast<DWORD>(kReportBufferSize))) {
        AfxMessageBox(m_ui, IDS_FAILED_GET_REPORT);
    } else {
        CReportDlg dialog(report, kReportBufferSize, m_ui, *m_services.fileSystem);
        dialog.m_pFont = &m_font;
        m_ui.RunReportWindow(dialog);
    }
    m_ui.EndWaitCursor();
}

}  // namespace marnel
