// Get Parameters and Put Parameters: the device's 266-byte parameter block
// to a file and back, unchanged.
#include <memory>
#include <new>

#include "app/AppMessageBox.h"
#include "app/FileDialogs.h"
#include "app/MainDlg.h"
#include "app/WaitCursor.h"
#include "files/File.h"
#include "files/Sha256.h"
#include "ops/ParameterFile.h"
#include "protocol/DevicePort.h"
#include "res/Resource.h"

namespace marnel {

namespace {

constexpr DWORD kParameterFileSize = static_cast<DWORD>(kParameterBlockSize);

}  // namespace

void CQuillKQDlg::OnGetParameters() {
    const std::unique_ptr<CDevicePort> port = MakePort();
    if (!OpenPortOrSay(*port)) {
        return;
    }
    CWaitCursor wait(m_window);
    ParameterBlockBytes block{};
    if (!port->ReadParameterBlock(block.data(), kParameterFileSize)) {
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
        SaveFileReplacing(*m_services.fileSystem, path, block.data(), kParameterFileSize);
    } catch (const CFileException& error) {
        ReportFileError(m_dialogs, error);
    }
}

void CQuillKQDlg::OnPutParameters() {
    const std::unique_ptr<CDevicePort> port = MakePort();
    if (!OpenPortOrSay(*port)) {
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
        ParameterFile file = ReadParameterFile(*m_services.fileSystem, path);
        if (!file.hasBlockSize) {
            AfxMessageBox(m_dialogs, IDS_DATA_FORMAT_ERROR);
            return;
        }
        const bool stored = port->WriteParameterBlock(file.block.data(), kParameterFileSize) != 0;
        HistoryEntry change;
        change.operation = "put-params";
        change.model = DescribeParameterBlock(file.block).modelTag;
        change.file = path;
        change.sha256 = Sha256Of(*m_services.hashing, file.block.data(), file.block.size());
        change.outcome = stored ? "succeeded" : "failed";
        RecordChange(change);
        if (stored) {
            AfxMessageBox(m_dialogs, IDS_SUCCEEDED_PUT_PARAMETERS, kMbOk | kMbIconInformation);
        } else {
            // The write's own report of exhausted memory comes first.
            if (port->LastFailure().kind == FailureKind::kOutOfMemory) {
                ReportOutOfMemory(m_dialogs);
            }
            AfxMessageBox(m_dialogs, IDS_FAILED_PUT_PARAMETERS);
        }
    } catch (const CFileException& error) {
        ReportFileError(m_dialogs, error);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(m_dialogs);
    }
}

}  // namespace marnel
