// The main window's commands whose work lives with the operations. Until an
// operation lands, its handler does nothing; each definition moves out of
// this file with its operation.
#include "app/MainDlg.h"

namespace marnel {

void CQuillKQDlg::OnGetReport() {}
void CQuillKQDlg::OnGetParameters() {}
void CQuillKQDlg::OnPutParameters() {}
void CQuillKQDlg::OnFirmwareUpgrade() {}
void CQuillKQDlg::DownloadFirmware(const std::string& /*path*/) {}
void CQuillKQDlg::SelfTest() {}

}  // namespace marnel
