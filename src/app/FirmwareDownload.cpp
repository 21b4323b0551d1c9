// Firmware upgrade: a file sent unchanged to the device as one raw print
// job, once the device has been restarted in its update mode.
#include "app/AppMessageBox.h"
#include "app/FileDialogs.h"
#include "app/MainDlg.h"
#include "ops/FirmwareUpgrade.h"
#include "res/StringTable.h"

namespace marnel {

namespace {

// The window asks with its box until the device has left service mode and
// its printer opens, or the user gives up.
class CVersionUpPrompt : public IFirmwareObserver {
public:
    explicit CVersionUpPrompt(IDialogs& dialogs) : m_dialogs(dialogs) {}

    bool UpdateModeNeeded(int /*attempt*/) override {
        return AfxMessageBox(m_dialogs, IDS_VERSION_UP, kMbOkCancel) == kIdOk;
    }

private:
    IDialogs& m_dialogs;
};

}  // namespace

void CQuillKQDlg::OnFirmwareUpgrade() {
    FileDialogRequest request;
    request.kind = FileDialogKind::kOpen;
    request.initialName = m_strFirmwarePath;
    request.flags = kOfnHideReadOnly | kOfnFileMustExist;
    request.filter = AllFilesFilter(IDS_FIRMWARE_FILTER);
    std::string path;
    if (!m_dialogs.ShowFileDialog(request, &path)) {
        return;
    }
    m_strFirmwarePath = path;
    DownloadFirmware(m_strFirmwarePath);
}

void CQuillKQDlg::DownloadFirmware(const std::string& path) {
    CDeviceAccess access = MakeAccess();
    CVersionUpPrompt prompt(m_dialogs);
    const FirmwareOutcome outcome = UpgradeFirmware(access, m_strPrinterName, *m_services.fileSystem, path,
                                                    WindowFirmwarePolicy(), prompt,
                                                    CNeverCancel(), MakeChangeLog());
    switch (outcome.kind) {
        case OutcomeKind::kFileError:
            ReportFileError(m_dialogs, *outcome.fileError);
            break;
        case OutcomeKind::kOutOfMemory:
            ReportOutOfMemory(m_dialogs);
            break;
        case OutcomeKind::kDeviceFailed:
            AfxMessageBox(m_dialogs, IDS_FAILED_SEND_FIRMWARE);
            break;
        case OutcomeKind::kFileChanged:
            AfxMessageBox(m_dialogs, FormatString1(IDS_FIRMWARE_CHANGED, path));
            break;
        default:
            break;  // sent, or the user gave up: nothing to say
    }
}

}  // namespace marnel
