// The user interface of a console: the core's message boxes become lines on
// the console, in the order shown. A console has no window, so the window
// parts of the interface do nothing and its dialogs are never confirmed.
#pragma once

#include <string>
#include <vector>

#include "cli/Console.h"
#include "platform/UserInterface.h"

namespace marnel::cli {

struct ShownBox {
    std::string text;
    DWORD type = 0;
};

class ConsoleBoxes : public IUserInterface {
public:
    explicit ConsoleBoxes(const Console& console) : m_console(console) {}

    // Every box shown so far, in order.
    const std::vector<ShownBox>& Boxes() const { return m_boxes; }

    // Prints the box (unless --json, where the caller reports Boxes()) and
    // answers OK.
    int ShowMessageBox(const std::string& text, DWORD type) override;

    bool ShowFileDialog(const FileDialogRequest&, std::string*) override { return false; }
    void RunAboutBox(FontHandle) override {}
    void RunReportWindow(CReportDlg&) override {}
    void BeginWaitCursor() override {}
    void EndWaitCursor() override {}
    void SetDeviceLabel(const std::string&) override {}
    DWORD SetTimer(DWORD, DWORD) override { return 0; }
    void KillTimer(DWORD) override {}
    void DefaultProcessing() override {}
    bool HasSystemMenu() override { return false; }
    void AppendSystemMenuSeparator() override {}
    void AppendSystemMenuItem(DWORD, const std::string&) override {}
    IconHandle LoadAppIcon(DWORD) override { return nullptr; }
    void SetBigIcon(IconHandle) override {}
    FontHandle CreateIconTitleFont() override { return nullptr; }
    void DeleteFont(FontHandle) override {}
    void ApplyFontToMainWindow(FontHandle) override {}
    void AcceptDroppedFiles(bool) override {}
    void BringToForeground() override {}
    bool IsShiftDown() override { return false; }

private:
    const Console& m_console;
    std::vector<ShownBox> m_boxes;
};

}  // namespace marnel::cli
