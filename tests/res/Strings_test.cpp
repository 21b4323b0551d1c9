#include <gtest/gtest.h>

#include "ScriptedUi.h"
#include "app/AppMessageBox.h"
#include "res/StringTable.h"

namespace marnel {
namespace {

TEST(StringTable, EveryIdTheProgramUsesHasItsText) {
    // The binary search relies on the table's order: a misplaced entry would
    // make some of these come back empty.
    const struct {
        DWORD id;
        const char* text;
    } cases[] = {
        {160, "&About Marnel..."},
        {161, "- No Device -"},
        {162, "Many devices are connected."},
        {163, "Please restart in a VERSION UP mode.\n\nPush [OK] when ready to receive."},
        {164, "Firmware file (*.kvf)|*.kvf|"},
        {165, "Text file (*.txt)|*.txt|"},
        {166, "*.*"},
        {180, "Failed to connect."},
        {181, "Data format error."},
        {182, "Failed to Get Parameters."},
        {183, "Failed to Put Parameters."},
        {184, "Failed to Get Report."},
        {185, "Succeeded in Put Parameters."},
        {186, "Failed to send the firmware."},
        {187, "The device's parameters were saved to %1 before the test. Restore them with "
              "Put Parameters."},
        {188, "%1 changed while it was being sent. The job was cancelled."},
        {189, "An unexpected error stopped the command."},
        {57344, "Marnel"},
        {61442, "All Files (*.*)"},
        {61446, "an unnamed file"},
        {61475, "Out of memory."},
        {61856, "No error occurred."},
        {61858, "%1 was not found."},
        {61865, "Seek failed on %1"},
        {61867, "A sharing violation occurred while accessing %1."},
        {61869, "Disk full while accessing %1."},
        {61870, "An attempt was made to access %1 past its end."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.text, LoadString(c.id)) << "string " << c.id;
    }
    for (DWORD id = AFX_IDP_FILE_NONE; id <= AFX_IDP_FILE_EOF; ++id) {
        EXPECT_FALSE(LoadString(id).empty()) << "file-error string " << id;
    }
}

TEST(StringTable, UnknownIdsAreEmpty) {
    for (DWORD id : {0u, 159u, 167u, 179u, 190u, 57343u, 61855u, 61871u, 0xFFFFFFFFu}) {
        EXPECT_EQ("", LoadString(id)) << "string " << id;
    }
}

TEST(AppMessageBox, OkBoxesWithoutIconGetTheWarningIcon) {
    const struct {
        DWORD asked;
        DWORD shown;
    } cases[] = {
        {kMbOk, kMbOk | kMbIconExclamation},
        {kMbOkCancel, kMbOkCancel | kMbIconExclamation},
        {kMbOk | kMbIconInformation, kMbOk | kMbIconInformation},
        {kMbOkCancel | kMbIconInformation, kMbOkCancel | kMbIconInformation},
        {kMbOk | 0x10 /* MB_ICONSTOP */, kMbOk | 0x10},
        {0x4 /* MB_YESNO */, 0x4},
        {0x3 /* MB_YESNOCANCEL */, 0x3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.shown, EffectiveMessageBoxType(c.asked)) << "type 0x" << std::hex << c.asked;
    }
}

TEST(AppMessageBox, ShowsTheStringByIdAndReturnsTheAnswer) {
    VirtualClock clock;
    ScriptedUi ui(clock);
    ui.ExpectBox(IDS_VERSION_UP_TEXT, kMbOkCancel | kMbIconExclamation, kIdCancel);
    ui.ExpectBox("Succeeded in Put Parameters.", kMbOk | kMbIconInformation, kIdOk);
    EXPECT_EQ(kIdCancel, AfxMessageBox(ui, IDS_VERSION_UP, kMbOkCancel));
    EXPECT_EQ(kIdOk, AfxMessageBox(ui, IDS_SUCCEEDED_PUT_PARAMETERS, kMbIconInformation));
}

}  // namespace
}  // namespace marnel
