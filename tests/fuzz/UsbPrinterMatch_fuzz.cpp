// The printers Linux makes of CUPS queues and attached USB printers, fed
// devices whose makers, models, serials and port paths, and queues whose
// device URIs, come from the input: often the usual ones, so that devices
// and queues collide, otherwise any bytes.
//
// Promises: a printer that leads to a device is named by its URI as that
// device and no other; a printer that leads to none is left out with a
// reason, or is a queue whose URI names no attached device; every queue
// comes first, in its order; each of the maker's devices that no queue
// leads to is listed once after them, under a name of its own; a serial
// taken as a device's identity names it alone.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "device/UsbPrinterMatch.h"

namespace {

using namespace marnel;

// Discovery and CUPS hand their names over as C strings: each ends at its
// first zero byte.
std::string CText(const std::string& text) {
    return text.substr(0, text.find('\0'));
}

std::string PickText(FuzzedDataProvider& input, const std::vector<const char*>& usual) {
    const std::size_t pick = input.ConsumeIntegralInRange<std::size_t>(0, usual.size());
    return pick < usual.size() ? std::string(usual[pick])
                               : CText(input.ConsumeRandomLengthString(100));
}

std::vector<UsbPrinterDevice> MakeDevices(FuzzedDataProvider& input) {
    std::vector<UsbPrinterDevice> devices;
    const int count = input.ConsumeIntegralInRange<int>(1, 5);
    for (int i = 0; i < count; ++i) {
        UsbPrinterDevice device;
        if (i > 0 && input.ConsumeBool()) {
            device = devices.back();  // another of the same kind
        } else {
            device.manufacturer = PickText(input, {"Zarvel", "ZARVEL", "Other Maker"});
            device.model = PickText(input, {"KQ-10", "KQ-20", "ZT-5"});
            device.serial = PickText(input, {"", "SN1", "SN12", "?", "S\xC3\xA9", "A B#?&=%"});
        }
        device.busNumber = 1;
        device.address = static_cast<std::uint8_t>(2 + i);
        device.portPath = PickText(input, {"1-2", "1-3", "1-2.1", ""});
        devices.push_back(device);
    }
    return devices;
}

std::vector<PrinterInfo> MakeQueues(FuzzedDataProvider& input,
                                    const std::vector<UsbPrinterDevice>& devices) {
    std::vector<PrinterInfo> queues;
    const int count = input.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < count; ++i) {
        const UsbPrinterDevice& device =
            devices[input.ConsumeIntegralInRange<std::size_t>(0, devices.size() - 1)];
        PrinterInfo queue;
        queue.printerName = "Q" + std::to_string(i);
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0:
                queue.portName = UsbDeviceUri(device, input.ConsumeBool());
                break;
            case 1:  // the device's URI with more after it
                queue.portName = UsbDeviceUri(device) + input.ConsumeRandomLengthString(100);
                break;
            case 2:
                queue.portName = "usb://" + input.ConsumeRandomLengthString(200);
                break;
            default:
                queue.portName = input.ConsumeRandomLengthString(200);
                break;
        }
        queue.portName = CText(queue.portName);
        queues.push_back(queue);
    }
    return queues;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::vector<UsbPrinterDevice> devices = MakeDevices(input);
    const std::vector<PrinterInfo> queues = MakeQueues(input, devices);
    const UsbPrinterMatch match = MatchUsbPrinters(devices, queues);

    FUZZ_CHECK(match.serialNamesIt.size() == devices.size());
    std::vector<bool> queued(devices.size(), false);
    std::set<std::string> names;
    std::set<int> listed;
    for (std::size_t i = 0; i < match.printers.size(); ++i) {
        const UsbMatchedPrinter& p = match.printers[i];
        const std::vector<int> named = DevicesNamedBy(p.info.portName, devices);
        if (p.device >= 0) {
            FUZZ_CHECK(named == std::vector<int>{p.device});
            FUZZ_CHECK(p.leftOut.empty());
        } else {
            FUZZ_CHECK(!p.leftOut.empty() || (p.queue >= 0 && named.empty()));
        }
        if (i < queues.size()) {
            FUZZ_CHECK(p.queue == static_cast<int>(i));
            FUZZ_CHECK(p.info.printerName == queues[i].printerName &&
                       p.info.portName == queues[i].portName);
            if (p.device >= 0) {
                queued[static_cast<std::size_t>(p.device)] = true;
            }
            continue;
        }
        FUZZ_CHECK(p.queue < 0 && p.usb);
        FUZZ_CHECK(names.insert(p.info.printerName).second);
        if (p.device >= 0) {
            FUZZ_CHECK(listed.insert(p.device).second);
        }
    }
    std::size_t queueless = 0;
    for (std::size_t i = 0; i < devices.size(); ++i) {
        if (match.serialNamesIt[i]) {
            FUZZ_CHECK(DevicesNamedBy(UsbDeviceUri(devices[i]), devices) ==
                       std::vector<int>{static_cast<int>(i)});
        }
        if (!queued[i] && IsServiceableDevice(devices[i])) {
            ++queueless;
        } else {
            FUZZ_CHECK(listed.count(static_cast<int>(i)) == 0);
        }
    }
    FUZZ_CHECK(match.printers.size() == queues.size() + queueless);
    return 0;
}
