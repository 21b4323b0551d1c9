// The About box: dialog template 100, in the main window's font.
#pragma once

#include "window/Framework.h"

namespace marnel {

class CAboutDlg : public CDialog {
public:
    // `hFont` is the main window's font, lent for the box's lifetime; null
    // when the main window made none, which leaves the system font.
    explicit CAboutDlg(HFONT hFont);

protected:
    BOOL OnInitDialog() override;

private:
    HFONT m_hFont;
};

}  // namespace marnel
