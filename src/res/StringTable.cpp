#include "res/StringTable.h"

#include <algorithm>
#include <iterator>

namespace marnel {

namespace {

// Sorted by id.
constexpr StringEntry kStrings[] = {
    {IDS_ABOUTBOX, IDS_ABOUTBOX_TEXT},
    {IDS_NO_DEVICE, IDS_NO_DEVICE_TEXT},
    {IDS_MANY_DEVICES, IDS_MANY_DEVICES_TEXT},
    {IDS_VERSION_UP, IDS_VERSION_UP_TEXT},
    {IDS_FIRMWARE_FILTER, IDS_FIRMWARE_FILTER_TEXT},
    {IDS_TEXT_FILTER, IDS_TEXT_FILTER_TEXT},
    {IDS_ALL_FILES_PATTERN, IDS_ALL_FILES_PATTERN_TEXT},
    {IDS_FAILED_CONNECT, IDS_FAILED_CONNECT_TEXT},
    {IDS_DATA_FORMAT_ERROR, IDS_DATA_FORMAT_ERROR_TEXT},
    {IDS_FAILED_GET_PARAMETERS, IDS_FAILED_GET_PARAMETERS_TEXT},
    {IDS_FAILED_PUT_PARAMETERS, IDS_FAILED_PUT_PARAMETERS_TEXT},
    {IDS_FAILED_GET_REPORT, IDS_FAILED_GET_REPORT_TEXT},
    {IDS_SUCCEEDED_PUT_PARAMETERS, IDS_SUCCEEDED_PUT_PARAMETERS_TEXT},
    {IDS_FAILED_SEND_FIRMWARE, IDS_FAILED_SEND_FIRMWARE_TEXT},
    {IDS_RESTORE_BACKUP, IDS_RESTORE_BACKUP_TEXT},
    {IDS_FIRMWARE_CHANGED, IDS_FIRMWARE_CHANGED_TEXT},
    {IDS_UNEXPECTED_ERROR, IDS_UNEXPECTED_ERROR_TEXT},
    {AFX_IDS_APP_TITLE, AFX_IDS_APP_TITLE_TEXT},
    {AFX_IDS_ALLFILTER, AFX_IDS_ALLFILTER_TEXT},
    {AFX_IDS_UNNAMED_FILE, AFX_IDS_UNNAMED_FILE_TEXT},
    {AFX_IDS_MEMORY_EXCEPTION, AFX_IDS_MEMORY_EXCEPTION_TEXT},
    {AFX_IDP_FILE_NONE, AFX_IDP_FILE_NONE_TEXT},
    {AFX_IDP_FILE_GENERIC, AFX_IDP_FILE_GENERIC_TEXT},
    {AFX_IDP_FILE_NOT_FOUND, AFX_IDP_FILE_NOT_FOUND_TEXT},
    {AFX_IDP_FILE_BAD_PATH, AFX_IDP_FILE_BAD_PATH_TEXT},
    {AFX_IDP_FILE_TOO_MANY_OPEN, AFX_IDP_FILE_TOO_MANY_OPEN_TEXT},
    {AFX_IDP_FILE_ACCESS_DENIED, AFX_IDP_FILE_ACCESS_DENIED_TEXT},
    {AFX_IDP_FILE_INVALID_FILE, AFX_IDP_FILE_INVALID_FILE_TEXT},
    {AFX_IDP_FILE_REMOVE_CURRENT, AFX_IDP_FILE_REMOVE_CURRENT_TEXT},
    {AFX_IDP_FILE_DIR_FULL, AFX_IDP_FILE_DIR_FULL_TEXT},
    {AFX_IDP_FILE_BAD_SEEK, AFX_IDP_FILE_BAD_SEEK_TEXT},
    {AFX_IDP_FILE_HARD_IO, AFX_IDP_FILE_HARD_IO_TEXT},
    {AFX_IDP_FILE_SHARING, AFX_IDP_FILE_SHARING_TEXT},
    {AFX_IDP_FILE_LOCKING, AFX_IDP_FILE_LOCKING_TEXT},
    {AFX_IDP_FILE_DISKFULL, AFX_IDP_FILE_DISKFULL_TEXT},
    {AFX_IDP_FILE_EOF, AFX_IDP_FILE_EOF_TEXT},
};

}  // namespace

const StringEntry* StringTableEntries(std::size_t* count) {
    *count = std::size(kStrings);
    return kStrings;
}

std::string LoadString(DWORD id) {
    const auto* end = std::end(kStrings);
    const auto* it = std::lower_bound(
        std::begin(kStrings), end, id,
        [](const StringEntry& entry, DWORD wanted) { return entry.id < wanted; });
    if (it == end || it->id != id) {
        return std::string();
    }
    return it->text;
}

std::string FormatString1(DWORD id, const std::string& argument) {
    const std::string text = LoadString(id);
    // Every "%1"; an argument that itself holds "%1" stays as it is.
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
            out += argument;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace marnel
