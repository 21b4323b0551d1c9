// Firmware upgrade: a file sent unchanged to the device as one raw print
// job, once the device has been restarted in its update mode.
#include <cstdint>
#include <memory>
#include <new>

#include "app/AppMessageBox.h"
#include "app/MainDlg.h"
#include "app/StringTable.h"
#include "ops/File.h"
#include "ops/FileErrorReport.h"
#include "platform/Spooler.h"
#include "protocol/DevicePort.h"
#include "res/Resource.h"

namespace marnel {

namespace {

// The largest piece read from the file and handed to the spooler at once.
constexpr DWORD kFirmwarePieceSize = 0x100000;

// A spooler call of the job failed: the job must not reach the device.
struct SpoolerFailure {};

}  // namespace

void CQuillKQDlg::OnFirmwareUpgrade() {
    FileDialogRequest request;
    request.kind = FileDialogKind::kOpen;
    request.initialName = m_strFirmwarePath;
    request.flags = kOfnHideReadOnly | kOfnFileMustExist;
    request.filter = LoadString(IDS_FIRMWARE_FILTER) + LoadString(AFX_IDS_ALLFILTER) + "|" +
                     LoadString(IDS_ALL_FILES_PATTERN) + "||";
    std::string path;
    if (!m_ui.ShowFileDialog(request, &path)) {
        return;
    }
    m_strFirmwarePath = path;
    DownloadFirmware(m_strFirmwarePath);
}

void CQuillKQDlg::DownloadFirmware(const std::string& path) {
    ISpooler& spooler = m_services.spooler;
    PrinterHandle printer = nullptr;
    bool havePrinter = false;
    DWORD jobId = 0;
    std::unique_ptr<std::uint8_t[]> buffer;
    try {
        CFile file(*m_services.fileSystem);
        file.OpenRead(path);
        const std::uint64_t length = file.GetLength();
        const DWORD pieceSize =
            length < kFirmwarePieceSize ? static_cast<DWORD>(length) : kFirmwarePieceSize;

        // Until the device has left service mode and its printer opens, or
        // the user gives up.
        for (;;) {
            if (AfxMessageBox(m_ui, IDS_VERSION_UP, kMbOkCancel) != kIdOk) {
                break;
            }
            bool inUpdateMode = false;
            {
                CDevicePort port(m_services);
                if (port.Open(m_strPrinterName)) {
                    inUpdateMode = !port.IsServiceMode();
                }
            }
            if (!inUpdateMode) {
                continue;
            }
            if (!spooler.OpenPrinter(m_strPrinterName, &printer)) {
                continue;
            }
            havePrinter = true;
            break;
        }

        if (havePrinter) {
            buffer.reset(new std::uint8_t[pieceSize]);
            DocInfo doc{"Updater", nullptr, "RAW"};
            jobId = spooler.StartDocPrinter(printer, doc);
            if (jobId == 0 || !spooler.StartPagePrinter(printer)) {
                throw SpoolerFailure();
            }
            for (;;) {
                const DWORD got = file.Read(buffer.get(), pieceSize);
                if (got == 0) {
                    break;
                }
                DWORD written = 0;
                if (!spooler.WritePrinter(printer, buffer.get(), got, &written) ||
                    written != got) {
                    throw SpoolerFailure();
                }
            }
            if (!spooler.EndPagePrinter(printer) || !spooler.EndDocPrinter(printer)) {
                throw SpoolerFailure();
            }
            jobId = 0;
        }
    } catch (const CFileException& error) {
        // A job cut short by the file is cancelled before anything else, so
        // that no part of it reaches the device.
        if (jobId != 0) {
            spooler.CancelJob(printer, jobId);
        }
        ReportFileError(m_ui, error);
    } catch (const std::bad_alloc&) {
        ReportOutOfMemory(m_ui);
    } catch (const SpoolerFailure&) {
        if (jobId != 0) {
            spooler.CancelJob(printer, jobId);
        }
        AfxMessageBox(m_ui, IDS_FAILED_SEND_FIRMWARE);
    }
    buffer.reset();
    if (havePrinter) {
        spooler.ClosePrinter(printer);
    }
}

}  // namespace marnel
