// Get Parameters and Put Parameters: the device's 266-byte parameter block
// to a file and back, unchanged.
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "app/StringTable.h"
#include "ops/File.h"
#include "ops/FileErrorReport.h"
#include "protocol/DevicePort.h"
#include "protocol/VendorRequests.h"
#include "res/Resource.h"

namespace marnel {

namespace {

// The parameter file is the block, byte for byte.
constexpr DWORD kParameterFileSize = static_cast<DWORD>(kParameterBlockSize);

FileDialogRequest ParameterFileDialog(FileDialogKind kind, const std::string& initialName) {
    FileDialogRequest request;
    request.kind = kind;
    request.initialName = initialName;
    request.flags = kind == FileDialogKind::kSave ? (kOfnHideReadOnly | kOfnOverwritePrompt)
                                                  : (kOfnHideReadOnly | kOfnFileMustExist);
    request.filter = LoadString(AFX_IDS_ALLFILTER) + "|" + LoadString(IDS_ALL_FILES_PATTERN) + "||";
    return request;
}

}  // namespace

void CQuillKQDlg::OnGetParameters() {
    CDevicePort port(m_services);
    if (!port.Open(m_strPrinterName)) {
        AfxMessageBox(m_ui, IDS_FAILED_CONNECT);
        return;
    }
    m_ui.BeginWaitCursor();
    std::uint8_t block[kParameterFileSize] = {};
    if (!port.ReadParameterBlock(block, kParameterFileSize)) {
        AfxMessageBox(m_ui, IDS_FAILED_GET_PARAMETERS);
    } else {
        std::string path;
        if (m_ui.ShowFileDialog(ParameterFileDialog(FileDialogKind::kSave, m_strParamPath), &path)) {
            m_strParamPath = path;
            try {
                SaveFileReplacing(*m_services.fileSystem, path, block, kParameterFileSize);
            } catch (const CFileException& error) {
                ReportFileError(m_ui, error);
            }
        }
    }
    m_ui.EndWaitCursor();
}

void CQuillKQDlg::OnPutParameters() {
    CDevicePort port(m_services);
    if (!port.Open(m_strPrinterName)) {
        AfxMessageBox(m_ui, IDS_FAILED_CONNECT);
        return;
    }
    std::string path;
    if (!m_ui.ShowFileDialog(ParameterFileDialog(FileDialogKind::kOpen, m_strParamPath), &path)) {
        return;
    }
    m_strParamPath = path;

    m_ui.BeginWaitCursor();
    std::unique_ptr<std::uint8_t[]> buffer;
    try {
        CFile file(*m_services.fileSystem);
        file.OpenRead(path);
        if (file.GetLength() != kParameterFileSize) {
            AfxMessageBox(m_ui, IDS_DATA_FORMAT_ERROR);
            file.Close();
        } else {
            buffer.reset(new std::uint8_t[kParameterFileSize]);
            // A file that ends before its 266 bytes is an end-of-file error:
            // a half-filled block never goes to the device.
            file.ReadExactly(buffer.get(), kParameterFileSize);
            file.Close();
            if (port.WriteParameterBlock(buffer.get(), kParameterFileSize)) {
                AfxMessageBox(m_ui, IDS_SUCCEEDED_PUT_PARAMETERS, kMbOk | kMbIconInformation);
            } else {
                AfxMessageBox(m_ui, IDS_FAILED_PUT_PARAMETERS);
            }
        }
        m_ui.EndWaitCursor();
    } catch (const CFileException& error) {
        // The file is closed by now; the cursor ends before the report.
        m_ui.EndWaitCursor();
        ReportFileError(m_ui, error);
    } catch (const std::bad_alloc&) {
        m_ui.EndWaitCursor();
        ReportOutOfMemory(m_ui);
    }
    buffer.reset();
}

}  // namespace marnel
