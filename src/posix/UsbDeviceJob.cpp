#include "posix/UsbDeviceJob.h"

#include <libusb.h>

#include <algorithm>

#include "posix/UsbDiscovery.h"

namespace marnel {

namespace {

constexpr std::size_t kTransferBytes = 65536;
constexpr unsigned kTransferMs = 200;

}  // namespace

UsbDeviceJob::UsbDeviceJob(std::unique_ptr<UsbPrinterHandle> usb, const Options& options)
    : m_usb(std::move(usb)), m_options(options) {}

UsbDeviceJob::~UsbDeviceJob() = default;

std::unique_ptr<UsbDeviceJob> UsbDeviceJob::Start(const UsbPrinterDevice& device,
                                                  const Options& options, std::string* error) {
    std::unique_ptr<UsbPrinterHandle> usb = UsbPrinterHandle::Open(device, error);
    if (usb && !usb->BulkOut()) {
        *error = "the printer interface has no bulk OUT pipe";
        return nullptr;
    }
    if (!usb || !usb->Claim(error)) {
        return nullptr;
    }
    return std::unique_ptr<UsbDeviceJob>(new UsbDeviceJob(std::move(usb), options));
}

bool UsbDeviceJob::Write(const std::uint8_t* data, std::size_t size, std::size_t* taken,
                         std::string* error) {
    *taken = 0;
    auto fail = [&](const std::string& cause) {
        *error = "the device took " + std::to_string(m_nTaken) + " bytes of the job, then " + cause;
        return false;
    };
    unsigned idleMs = 0;
    while (*taken < size) {
        if (m_options.interrupted && m_options.interrupted()) {
            return fail("the job was interrupted");
        }
        int sent = 0;
        const int r = libusb_bulk_transfer(
            m_usb->Get(), m_usb->BulkOut(), const_cast<std::uint8_t*>(data + *taken),
            static_cast<int>(std::min(size - *taken, kTransferBytes)), &sent, kTransferMs);
        *taken += static_cast<std::size_t>(sent);
        m_nTaken += static_cast<unsigned long long>(sent);
        idleMs = sent > 0 ? 0 : idleMs + kTransferMs;
        if (r == LIBUSB_ERROR_TIMEOUT && idleMs >= m_options.stallMs) {
            return fail("took no more for " + std::to_string(idleMs / 1000) +
                        " s: " + LibusbErrorText(r));
        }
        if (r != 0 && r != LIBUSB_ERROR_TIMEOUT) {
            return fail(LibusbErrorText(r));
        }
    }
    return true;
}

}  // namespace marnel
