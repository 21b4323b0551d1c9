#include "window/AboutDlg.h"

#include "res/Resource.h"

namespace marnel {

CAboutDlg::CAboutDlg(HFONT hFont) : CDialog(IDD_ABOUTBOX, nullptr), m_hFont(hFont) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // Sent even when null: the box then draws its texts in the system font.
    ApplyFontToSelfAndChildren(m_hFont);
    return TRUE;
}

}  // namespace marnel
