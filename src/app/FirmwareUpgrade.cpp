// Firmware upgrade: a file sent unchanged to the device as one raw print
// job, once the device has been restarted in its update mode.
#include <cstdint>
#include <memory>
#include <new>

#include "app/AppMessageBox.h"
#include "app/FileDialogs.h"
#include "app/MainDlg.h"
#include "files/File.h"
#include "ops/FirmwareJob.h"
#include "platform/Spooler.h"
#include "res/StringTable.h"

namespace marnel {

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
    ISpooler& spooler = m_services.spooler;
    PrinterHandle printer = nullptr;
    bool havePrinter = false;
    try {
        CFile file(*m_services.fileSystem);
        file.OpenRead(path);
        const std::uint64_t length = file.GetLength();

        // Until the device has left service mode and its printer opens, or
        // the user gives up.
        while (AfxMessageBox(m_dialogs, IDS_VERSION_UP, kMbOkCancel) == kIdOk) {
            if (OpenPrinterInUpdateMode(m_services, m_strPrinterName, &printer)) {
                havePrinter = true;
                break;
            }
        }
        if (!havePrinter) {
            return;
        }
        const FirmwareJobResult result = SendFirmwareJob(spooler, printer, file, length);
        HistoryEntry change;
        change.operation = "firmware";
        change.file = path;
        change.outcome = result == FirmwareJobResult::kSent          ? "succeeded"
                         : result == FirmwareJobResult::kFileChanged ? "file changed"
                                                                     : "failed";
        RecordChange(change);
        if (result == FirmwareJobResult::kSpoolerFailed) {
            AfxMessageBox(m_dialogs, IDS_FAILED_SEND_FIRMWARE);
        } else if (result == FirmwareJobResult::kFileChanged) {
            AfxMessageBox(m_dialogs, FormatString1(IDS_FIRMWARE_CHANGED, path));
        }
    } catch (const CFileException& error) {
        ReportFileError(m_dialogs, error);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(m_dialogs);
    }
    if (havePrinter) {
        spooler.ClosePrinter(printer);
    }
}

}  // namespace marnel
