// Resource ids and every text the program shows. This one header feeds both
// the resource script (keep it to #define lines a resource compiler reads)
// and the portable core's string table, so a test sees the exact text a user
// sees. A text for string id N is IDS_..._TEXT beside IDS_...
#ifndef MARNEL_RES_RESOURCE_H
#define MARNEL_RES_RESOURCE_H

// Dialog templates and the icon.
#define IDD_ABOUTBOX 100
#define IDD_MAIN_DIALOG 101
#define IDR_MAINFRAME 128
#define IDD_REPORT 129

// System-menu command of the main window; the system reserves the low four bits.
#define IDM_ABOUTBOX 0x0010

// Controls of the main window.
#define IDC_DEVICE_NAME 1001
#define IDC_GET_REPORT 1002
#define IDC_GET_PARAMETERS 1003
#define IDC_PUT_PARAMETERS 1004
#define IDC_FIRMWARE_UPGRADE 1005

// Controls of the report window.
#define IDC_SAVE 1003
#define IDC_REPORT_TEXT 1004

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// The program's own strings.
#define IDS_ABOUTBOX 160
#define IDS_ABOUTBOX_TEXT "&About Marnel..."
#define IDS_NO_DEVICE 161
#define IDS_NO_DEVICE_TEXT "- No Device -"
#define IDS_MANY_DEVICES 162
#define IDS_MANY_DEVICES_TEXT "Many devices are connected."
#define IDS_VERSION_UP 163
#define IDS_VERSION_UP_TEXT "Please restart in a VERSION UP mode.\n\nPush [OK] when ready to receive."
#define IDS_FIRMWARE_FILTER 164
#define IDS_FIRMWARE_FILTER_TEXT "Firmware file (*.kvf)|*.kvf|"
#define IDS_TEXT_FILTER 165
#define IDS_TEXT_FILTER_TEXT "Text file (*.txt)|*.txt|"
#define IDS_ALL_FILES_PATTERN 166
#define IDS_ALL_FILES_PATTERN_TEXT "*.*"

#define IDS_FAILED_CONNECT 180
#define IDS_FAILED_CONNECT_TEXT "Failed to connect."
#define IDS_DATA_FORMAT_ERROR 181
#define IDS_DATA_FORMAT_ERROR_TEXT "Data format error."
#define IDS_FAILED_GET_PARAMETERS 182
#define IDS_FAILED_GET_PARAMETERS_TEXT "Failed to Get Parameters."
#define IDS_FAILED_PUT_PARAMETERS 183
#define IDS_FAILED_PUT_PARAMETERS_TEXT "Failed to Put Parameters."
#define IDS_FAILED_GET_REPORT 184
#define IDS_FAILED_GET_REPORT_TEXT "Failed to Get Report."
#define IDS_SUCCEEDED_PUT_PARAMETERS 185
#define IDS_SUCCEEDED_PUT_PARAMETERS_TEXT "Succeeded in Put Parameters."
#define IDS_FAILED_SEND_FIRMWARE 186
#define IDS_FAILED_SEND_FIRMWARE_TEXT "Failed to send the firmware."
#define IDS_RESTORE_BACKUP 187
#define IDS_FIRMWARE_CHANGED 188
#define IDS_FIRMWARE_CHANGED_TEXT "%1 changed while it was being sent. The job was cancelled."
#define IDS_RESTORE_BACKUP_TEXT "The device's parameters were saved to %1 before the test. Restore them with Put Parameters."
#define IDS_UNEXPECTED_ERROR 189
#define IDS_UNEXPECTED_ERROR_TEXT "An unexpected error stopped the command."

// The framework's strings the program relies on.
#define AFX_IDS_APP_TITLE 57344
#define AFX_IDS_APP_TITLE_TEXT "Marnel"
#define AFX_IDS_ALLFILTER 61442
#define AFX_IDS_ALLFILTER_TEXT "All Files (*.*)"
#define AFX_IDS_UNNAMED_FILE 61446
#define AFX_IDS_UNNAMED_FILE_TEXT "an unnamed file"
#define AFX_IDS_MEMORY_EXCEPTION 61475
#define AFX_IDS_MEMORY_EXCEPTION_TEXT "Out of memory."

// File-error messages: AFX_IDP_FILE_NONE plus the cause (0 to 14).
#define AFX_IDP_FILE_NONE 61856
#define AFX_IDP_FILE_NONE_TEXT "No error occurred."
#define AFX_IDP_FILE_GENERIC 61857
#define AFX_IDP_FILE_GENERIC_TEXT "An unknown error occurred while accessing %1."
#define AFX_IDP_FILE_NOT_FOUND 61858
#define AFX_IDP_FILE_NOT_FOUND_TEXT "%1 was not found."
#define AFX_IDP_FILE_BAD_PATH 61859
#define AFX_IDP_FILE_BAD_PATH_TEXT "%1 contains an invalid path."
#define AFX_IDP_FILE_TOO_MANY_OPEN 61860
#define AFX_IDP_FILE_TOO_MANY_OPEN_TEXT "%1 could not be opened because there are too many open files."
#define AFX_IDP_FILE_ACCESS_DENIED 61861
#define AFX_IDP_FILE_ACCESS_DENIED_TEXT "Access to %1 was denied."
#define AFX_IDP_FILE_INVALID_FILE 61862
#define AFX_IDP_FILE_INVALID_FILE_TEXT "An invalid file handle was associated with %1."
#define AFX_IDP_FILE_REMOVE_CURRENT 61863
#define AFX_IDP_FILE_REMOVE_CURRENT_TEXT "%1 could not be removed because it is the current directory."
#define AFX_IDP_FILE_DIR_FULL 61864
#define AFX_IDP_FILE_DIR_FULL_TEXT "%1 could not be created because the directory is full."
#define AFX_IDP_FILE_BAD_SEEK 61865
#define AFX_IDP_FILE_BAD_SEEK_TEXT "Seek failed on %1"
#define AFX_IDP_FILE_HARD_IO 61866
#define AFX_IDP_FILE_HARD_IO_TEXT "A hardware I/O error was reported while accessing %1."
#define AFX_IDP_FILE_SHARING 61867
#define AFX_IDP_FILE_SHARING_TEXT "A sharing violation occurred while accessing %1."
#define AFX_IDP_FILE_LOCKING 61868
#define AFX_IDP_FILE_LOCKING_TEXT "A locking violation occurred while accessing %1."
#define AFX_IDP_FILE_DISKFULL 61869
#define AFX_IDP_FILE_DISKFULL_TEXT "Disk full while accessing %1."
#define AFX_IDP_FILE_EOF 61870
#define AFX_IDP_FILE_EOF_TEXT "An attempt was made to access %1 past its end."

// Texts of the dialog templates (they live in the templates, not the string
// table; named here so that the script and the GUI tests share them).
#define TXT_MAIN_CAPTION "Marnel"
#define TXT_GET_REPORT "Get &Report"
#define TXT_GET_PARAMETERS "&Get Parameters"
#define TXT_PUT_PARAMETERS "&Put Parameters"
#define TXT_FIRMWARE_UPGRADE "&Firmware Upgrade"
#define TXT_EXIT "&Exit"
#define TXT_ABOUT_CAPTION "About Marnel"
#define TXT_ABOUT_VERSION "Marnel Version 2.01"
#define TXT_ABOUT_NOTICE "Copyright (C) 2026 Zarvel. All rights reserved."
#define TXT_OK "OK"
#define TXT_REPORT_CAPTION "Report"
#define TXT_SAVE "&Save"
#define TXT_CLOSE "&Close"

// The self test's lines: "Start Self Test", then a step's name after its
// outcome ("Success: GetParam", "Error: Create").
#define TXT_SELFTEST_START "Start Self Test"
#define TXT_SELFTEST_SUCCESS "Success: "
#define TXT_SELFTEST_ERROR "Error: "
#define TXT_SELFTEST_CREATE "Create"
#define TXT_SELFTEST_GET_PARAM "GetParam"
#define TXT_SELFTEST_PUT_PARAM_DUMMY "PutParam dummy"
#define TXT_SELFTEST_PUT_PARAM_ORIGINAL "PutParam original"
#define TXT_SELFTEST_GET_PARAM2 "GetParam2"
#define TXT_SELFTEST_COMPARE "Compare"
#define TXT_SELFTEST_GET_VERSION "GetVersion"
#define TXT_SELFTEST_GET_REPORT "GetReport"

#endif  // MARNEL_RES_RESOURCE_H
