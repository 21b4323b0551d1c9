// A raw job straight to a USB device that has no queue. Each piece goes to
// the bulk OUT pipe as it is written, with the printer interface claimed
// from the start of the job to its end (the kernel printer driver detached
// for the time): no copy of the job is kept aside, so a job of any size can
// go, and a job stopped half way has reached the device in part.
//
// A write goes in transfers of at most 64 KiB, each allowed a fifth of a
// second, so that between them an interruption is seen at once; the device
// may take nothing for the job's stall time before the job fails. What the
// device took is counted, never what was only offered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/UsbPrinterNames.h"

namespace marnel {

class UsbPrinterHandle;

class UsbDeviceJob {
public:
    struct Options {
        unsigned stallMs = 30000;           // how long the device may take no byte
        std::function<bool()> interrupted;  // asked between transfers; true stops the job
    };

    // Opens the device and claims its printer interface; null with the cause in *error.
    static std::unique_ptr<UsbDeviceJob> Start(const UsbPrinterDevice& device,
                                               const Options& options, std::string* error);
    ~UsbDeviceJob();

    // Sends `size` bytes; *taken gets what the device took of them. False,
    // with the cause and what the device took of the whole job in *error,
    // when the device failed, stopped taking bytes, or the job was interrupted.
    bool Write(const std::uint8_t* data, std::size_t size, std::size_t* taken, std::string* error);

    unsigned long long Taken() const { return m_nTaken; }

private:
    UsbDeviceJob(std::unique_ptr<UsbPrinterHandle> usb, const Options& options);

    std::unique_ptr<UsbPrinterHandle> m_usb;
    Options m_options;
    unsigned long long m_nTaken = 0;
};

}  // namespace marnel
