// A scripted user for the core's tests: it answers message boxes and file
// dialogs from a script, records every box and every call to the interface
// in order, and runs window timers on the virtual clock. A box or dialog the
// script did not expect fails the test, as does a scripted one never shown.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/ReportDlg.h"
#include "platform/Dialogs.h"
#include "platform/MainWindow.h"
#include "sim/VirtualClock.h"

namespace marnel {

class ScriptedUi : public IDialogs, public IMainWindow {
public:
    struct Box {
        std::string text;
        DWORD type;
        int waitCursorDepth;  // wait cursors outstanding while the box was up
    };

    struct DialogAnswer {
        bool ok;
        std::string path;
    };

    explicit ScriptedUi(VirtualClock& clock) : m_clock(clock) {}

    ~ScriptedUi() override {
        for (const auto& expected : m_expectedBoxes) {
            ADD_FAILURE() << "scripted box never shown: \"" << expected.text << "\" type 0x"
                          << std::hex << expected.type;
        }
        if (!m_dialogAnswers.empty()) {
            ADD_FAILURE() << m_dialogAnswers.size() << " scripted file dialog(s) never shown";
        }
    }

    // --- The script ---

    // The next box must show `text` with `type`; it is answered with `answer`.
    // `whileShown` runs inside the box's modal loop, as timers do on Windows.
    void ExpectBox(std::string text, DWORD type, int answer = kIdOk,
                   std::function<void()> whileShown = nullptr) {
        m_expectedBoxes.push_back({std::move(text), type, answer, std::move(whileShown)});
    }

    // The next file dialog ends with OK and `path`, or is cancelled.
    void AnswerFileDialog(std::string path) { m_dialogAnswers.push_back({true, std::move(path)}); }
    void CancelFileDialog() { m_dialogAnswers.push_back({false, std::string()}); }

    void SetShiftDown(bool down) { m_shiftDown = down; }
    void SetHasSystemMenu(bool has) { m_hasSystemMenu = has; }
    // The font CreateIconTitleFont makes (null: the font can't be had).
    void SetIconTitleFont(FontHandle font) { m_iconTitleFont = font; }
    void SetAppIcon(IconHandle icon) { m_appIcon = icon; }
    void SetTimerHandler(std::function<void(DWORD)> handler) { m_onTimer = std::move(handler); }
    void SetReportWindowHandler(std::function<void(CReportDlg&)> handler) {
        m_onReportWindow = std::move(handler);
    }

    // --- What happened ---

    const std::vector<Box>& Boxes() const { return m_boxes; }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : m_boxes) {
            texts.push_back(box.text);
        }
        return texts;
    }
    // Every call, in order, e.g. "box:Many devices are connected.",
    // "label:- No Device -", "wait+", "wait-", "timer:1:200", "default".
    const std::vector<std::string>& Events() const { return m_events; }
    void ClearEvents() { m_events.clear(); }
    // Adds a test's own mark to the event log, to check order against it.
    void Note(std::string event) { m_events.push_back(std::move(event)); }
    const std::vector<FileDialogRequest>& FileDialogs() const { return m_fileDialogs; }
    const std::string& Label() const { return m_label; }
    int WaitCursorDepth() const { return m_waitDepth; }
    // Virtual time spent between each outermost begin and end of the cursor.
    const std::vector<std::uint64_t>& WaitCursorSpansMs() const { return m_waitSpans; }
    const std::vector<std::pair<DWORD, std::string>>& SystemMenuItems() const {
        return m_systemMenu;
    }
    std::vector<FontHandle> DeletedFonts() const { return m_deletedFonts; }

    // --- Timers on the virtual clock ---

    bool TimerPending(DWORD id) const { return m_timers.count(id) != 0; }

    // Moves virtual time on by `milliseconds`, delivering every timer that
    // falls due on the way to the timer handler, in time order.
    void Elapse(std::uint64_t milliseconds) {
        const std::uint64_t end = m_clock.NowMs() + milliseconds;
        for (;;) {
            auto due = m_timers.end();
            for (auto it = m_timers.begin(); it != m_timers.end(); ++it) {
                if (it->second.dueMs <= end && (due == m_timers.end() ||
                                                it->second.dueMs < due->second.dueMs)) {
                    due = it;
                }
            }
            if (due == m_timers.end()) {
                break;
            }
            const DWORD id = due->first;
            if (due->second.dueMs > m_clock.NowMs()) {
                m_clock.Advance(due->second.dueMs - m_clock.NowMs());
            }
            // Windows timers repeat until killed.
            due->second.dueMs = m_clock.NowMs() + due->second.periodMs;
            m_events.push_back("WM_TIMER:" + std::to_string(id));
            if (m_onTimer) {
                m_onTimer(id);
            }
        }
        if (end > m_clock.NowMs()) {
            m_clock.Advance(end - m_clock.NowMs());
        }
    }

    // --- IDialogs and IMainWindow ---

    int ShowMessageBox(const std::string& text, DWORD type) override {
        m_boxes.push_back({text, type, m_waitDepth});
        m_events.push_back("box:" + text);
        if (m_expectedBoxes.empty()) {
            ADD_FAILURE() << "unexpected box: \"" << text << "\" type 0x" << std::hex << type;
            return kIdCancel;
        }
        ExpectedBox expected = std::move(m_expectedBoxes.front());
        m_expectedBoxes.pop_front();
        EXPECT_EQ(expected.text, text) << "box shown out of script";
        EXPECT_EQ(expected.type, type) << "box \"" << text << "\" shown with another type";
        if (expected.whileShown) {
            expected.whileShown();
        }
        return expected.answer;
    }

    bool ShowFileDialog(const FileDialogRequest& request, std::string* path) override {
        m_fileDialogs.push_back(request);
        m_events.push_back(request.kind == FileDialogKind::kOpen ? "open-dialog" : "save-dialog");
        if (m_dialogAnswers.empty()) {
            ADD_FAILURE() << "unexpected file dialog, initial name \"" << request.initialName
                          << "\"";
            return false;
        }
        DialogAnswer answer = std::move(m_dialogAnswers.front());
        m_dialogAnswers.pop_front();
        if (answer.ok) {
            *path = answer.path;
        }
        return answer.ok;
    }

    void RunAboutBox(FontHandle font) override {
        m_events.push_back("about");
        m_aboutFonts.push_back(font);
    }
    const std::vector<FontHandle>& AboutBoxFonts() const { return m_aboutFonts; }

    void RunReportWindow(IReportWindowHandler& handler) override {
        m_events.push_back("report-window");
        if (m_onReportWindow) {
            auto* dialog = dynamic_cast<CReportDlg*>(&handler);
            ASSERT_NE(dialog, nullptr) << "the report window runs the report logic";
            m_onReportWindow(*dialog);
        }
    }

    void BeginWaitCursor() override {
        if (m_waitDepth++ == 0) {
            m_waitBeganMs = m_clock.NowMs();
        }
        m_events.push_back("wait+");
    }

    void EndWaitCursor() override {
        m_events.push_back("wait-");
        if (m_waitDepth == 0) {
            ADD_FAILURE() << "wait cursor ended more often than begun";
            return;
        }
        if (--m_waitDepth == 0) {
            m_waitSpans.push_back(m_clock.NowMs() - m_waitBeganMs);
        }
    }

    void SetDeviceLabel(const std::string& text) override {
        m_label = text;
        m_events.push_back("label:" + text);
    }

    DWORD SetTimer(DWORD id, DWORD elapseMs) override {
        m_events.push_back("timer:" + std::to_string(id) + ":" + std::to_string(elapseMs));
        m_timers[id] = {elapseMs, m_clock.NowMs() + elapseMs};
        return id;  // as SetTimer on a window returns the id
    }

    void KillTimer(DWORD timer) override {
        m_events.push_back("kill:" + std::to_string(timer));
        m_timers.erase(timer);
    }

    void DefaultProcessing() override { m_events.push_back("default"); }

    bool HasSystemMenu() override { return m_hasSystemMenu; }
    void AppendSystemMenuSeparator() override {
        m_events.push_back("menu-separator");
        m_systemMenu.emplace_back(0, std::string());
    }
    void AppendSystemMenuItem(DWORD id, const std::string& text) override {
        m_events.push_back("menu:" + std::to_string(id) + ":" + text);
        m_systemMenu.emplace_back(id, text);
    }

    IconHandle LoadAppIcon(DWORD id) override {
        m_events.push_back("load-icon:" + std::to_string(id));
        return m_appIcon;
    }
    void SetBigIcon(IconHandle icon) override {
        m_events.push_back(icon ? "big-icon" : "big-icon:null");
    }

    FontHandle CreateIconTitleFont() override {
        m_events.push_back("create-font");
        return m_iconTitleFont;
    }
    void DeleteFont(FontHandle font) override {
        m_events.push_back("delete-font");
        m_deletedFonts.push_back(font);
    }
    void ApplyFontToMainWindow(FontHandle font) override {
        m_events.push_back(font ? "apply-font" : "apply-font:null");
    }

    void AcceptDroppedFiles(bool accept) override {
        m_events.push_back(accept ? "accept-drop" : "refuse-drop");
    }

    void BringToForeground() override { m_events.push_back("foreground"); }

    bool IsShiftDown() override {
        m_events.push_back("shift?");
        return m_shiftDown;
    }

private:
    struct ExpectedBox {
        std::string text;
        DWORD type;
        int answer;
        std::function<void()> whileShown;
    };
    struct Timer {
        DWORD periodMs;
        std::uint64_t dueMs;
    };

    VirtualClock& m_clock;
    std::deque<ExpectedBox> m_expectedBoxes;
    std::deque<DialogAnswer> m_dialogAnswers;
    std::vector<Box> m_boxes;
    std::vector<std::string> m_events;
    std::vector<FileDialogRequest> m_fileDialogs;
    std::vector<FontHandle> m_aboutFonts;
    std::vector<FontHandle> m_deletedFonts;
    std::vector<std::pair<DWORD, std::string>> m_systemMenu;
    std::map<DWORD, Timer> m_timers;
    std::function<void(DWORD)> m_onTimer;
    std::function<void(CReportDlg&)> m_onReportWindow;
    std::string m_label;
    bool m_shiftDown = false;
    bool m_hasSystemMenu = true;
    FontHandle m_iconTitleFont = nullptr;
    IconHandle m_appIcon = nullptr;
    int m_waitDepth = 0;
    std::uint64_t m_waitBeganMs = 0;
    std::vector<std::uint64_t> m_waitSpans;
};

}  // namespace marnel
