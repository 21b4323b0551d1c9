// Get Parameters and Put Parameters: the device's 266-byte parameter block
// to a file and back, unchanged.
#include <new>

#include "app/AppMessageBox.h"
#include "app/FileDialogs.h"
#include "app/MainDlg.h"
#include "app/WaitCursor.h"
#include "files/File.h"
#include "ops/DeviceReads.h"
#include "ops/PutParameters.h"
#include "res/Resource.h"

namespace marnel {

void CQuillKQDlg::OnGetParameters() {
    OpenedDevice device;
    if (!OpenDeviceOrSay(&device)) {
        return;
    }
    CWaitCursor wait(m_window);
    const GetParametersOutcome read = GetParameters(device);
    if (!read.Succeeded()) {
        AfxMessageBox(m_dialogs, IDS_FAILED_GET_PARAMETERS);
        return;
    }
    std::string path;
    if (!m_dialogs.ShowFileDialog(ParameterFileDialog(FileDialogKind::kSave, m_strParamPath),
                                  &path)) {
        return;
    }
    m_strParamPath = path;
    try {
        SaveFileReplacing(*m_services.fileSystem, path, read.block.data(),
                          static_cast<DWORD>(kParameterBlockSize));
    } catch (const CFileException& error) {
        ReportFileError(m_dialogs, error);
    }
}

void CQuillKQDlg::OnPutParameters() {
    OpenedDevice device;
    if (!OpenDeviceOrSay(&device)) {
        return;
    }
    std::string path;
    if (!m_dialogs.ShowFileDialog(ParameterFileDialog(FileDialogKind::kOpen, m_strParamPath),
                                  &path)) {
        return;
    }
    m_strParamPath = path;

    // The cursor ends before a file error or memory report: the scope is
    // left before the handler runs.
    try {
        CWaitCursor wait(m_window);
        const ParameterFile file = ReadParameterFile(*m_services.fileSystem, path);
        if (!file.hasBlockSize) {
            AfxMessageBox(m_dialogs, IDS_DATA_FORMAT_ERROR);
            return;
        }
        // Sent as it is: the device decides.
        const PutParametersOutcome outcome =
            PutParameters(device, file.block, path, PutParametersPolicy{}, CNeverCancel(),
                          MakeChangeLog());
        if (outcome.Succeeded()) {
            AfxMessageBox(m_dialogs, IDS_SUCCEEDED_PUT_PARAMETERS, kMbOk | kMbIconInformation);
            return;
        }
        // The write's own report of exhausted memory comes first.
        if (outcome.failure.device.kind == FailureKind::kOutOfMemory) {
            ReportOutOfMemory(m_dialogs);
        }
        AfxMessageBox(m_dialogs, IDS_FAILED_PUT_PARAMETERS);
    } catch (const CFileException& error) {
        ReportFileError(m_dialogs, error);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(m_dialogs);
    }
}

}  // namespace marnel
