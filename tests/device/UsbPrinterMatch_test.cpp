// The names Linux reads from a USB printer and the printers it makes of the
// CUPS queues and the USB bus: which device each printer leads to, or why none.
#include "device/UsbPrinterMatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device/UsbPrinterNames.h"

namespace marnel {
namespace {

UsbPrinterDevice Device(const std::string& model, const std::string& serial,
                        const std::string& portPath = "1-2") {
    UsbPrinterDevice d;
    d.manufacturer = "Zarvel";
    d.model = model;
    d.serial = serial;
    d.portPath = portPath;
    return d;
}

TEST(UsbPrinterNames, DeviceIdFieldsAndServiceableModels) {
    const std::string id = "MANUFACTURER:Zarvel;MDL: ZT-5 ;CMD:ZQ;";
    EXPECT_EQ(DeviceIdField(id, "MFG", "MANUFACTURER"), "Zarvel");
    EXPECT_EQ(DeviceIdField(id, "MDL", "MODEL"), "ZT-5");
    EXPECT_EQ(DeviceIdField(id, "SN", "SERIALNUMBER"), "");
    EXPECT_EQ(DeviceIdField("mfg:zarvel;", "MFG", "MANUFACTURER"), "zarvel");

    const struct {
        const char* mfg;
        const char* mdl;
        bool serviceable;
    } cases[] = {{"Zarvel", "KQ-10", true}, {"ZARVEL", "zt-5", true},    {"Zarvel", "KQ10", false},
                 {"Zarvel", "XP-1", false}, {"Zarvell", "KQ-10", false}, {"", "KQ-10", false}};
    for (const auto& c : cases) {
        UsbPrinterDevice d = Device(c.mdl, "");
        d.manufacturer = c.mfg;
        EXPECT_EQ(IsServiceableDevice(d), c.serviceable) << c.mfg << " " << c.mdl;
    }
}

TEST(UsbPrinterNames, StringDescriptorsReadAsUtf8) {
    const struct {
        std::vector<unsigned char> descriptor;
        const char* text;
    } cases[] = {
        {{10, 3, 'K', 0, 'Q', 0, '-', 0, '1', 0}, "KQ-1"},
        {{6, 3, 0xE9, 0, 'x', 0}, "\xC3\xA9x"},
        {{6, 3, 0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},  // a surrogate pair
        {{6, 3, 0x00, 0xD8, 'x', 0}, "\xEF\xBF\xBDx"},         // an unpaired one
        {{8, 3, 'A', 0, 0, 0, 'B', 0}, "A"},                   // a zero ends the name
        {{5, 3, 'A', 0, 'B'}, "A"},                            // half a unit is none
        {{2, 3}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StringDescriptorText(c.descriptor.data(), c.descriptor.size()), c.text) << c.text;
    }
}

TEST(UsbPrinterNames, UrisNameDevicesAsCupsReadsThem) {
    const UsbPrinterDevice kq = Device("KQ-10", "KQ10SN0001");
    EXPECT_EQ(UsbDeviceUri(kq), "usb://Zarvel/KQ-10?serial=KQ10SN0001");
    EXPECT_EQ(UsbDeviceUri(kq, true), "usb://Zarvel/KQ-10?location=1-2");
    // Encoded as CUPS encodes: "%", blanks and bytes past ASCII; "#&=?" stay.
    const UsbPrinterDevice odd = Device("KQ 10", "A B#?&=%\xC3\xA9");
    EXPECT_EQ(UsbDeviceUri(odd), "usb://Zarvel/KQ%2010?serial=A%20B#?&=%25%C3%A9");

    const struct {
        const char* uri;
        const UsbPrinterDevice& device;
        bool names;
    } cases[] = {
        {"usb://Zarvel/KQ-10?serial=KQ10SN0001", kq, true},
        {"USB://zarvel/kq-10?serial=KQ10SN0001&interface=1", kq, true},
        {"usb://Zarvel/KQ%2D10?serial=KQ10SN0001", kq, true},  // another encoding
        {"usb://Zarvel/KQ-10", kq, true},                      // a queue made without the serial
        {"usb://Zarvel/KQ-10?serial=?", kq, true},             // CUPS: no serial number
        {"usb://Zarvel/KQ-10?serial=%3F", kq, true},
        {"usb://Zarvel/KQ-10?serial=KQ10SN0002", kq, false},
        {"usb://Zarvel/KQ-10?serial=kq10sn0001", kq, false},  // serials are exact
        {"usb://Zarvel/KQ-10?serial=KQ10SN0001#", kq, false},
        {"usb://Zarvel/KQ-100?serial=KQ10SN0001", kq, false},
        {"usb://Zarvel/KQ-10?location=1-2", kq, true},
        {"usb://Zarvel/KQ-10?location=1-2.1", kq, false},
        {"usb://Zarvel/KQ-10?serial=KQ10SN0001&location=1-3", kq, false},
        {"ipp://Zarvel/KQ-10?serial=KQ10SN0001", kq, false},
        {"usb://Zarvel", kq, false},
        {"usb://Zarvel/KQ%2010?serial=A%20B#?&=%25%C3%A9", odd, true},
        {"usb://Zarvel/KQ%2010?serial=A%20B%23%3F%26%3D%25%C3%A9&interface=1", odd, true},
        {"usb://Zarvel/KQ%2010?serial=A%20B#?&=%25?", odd, true},  // what CUPS reads through libusb
        {"usb://Zarvel/KQ%2010?serial=A%20B#?&=%25", odd, false},
        {"usb://Zarvel/KQ%2010?serial=A%20B#", odd, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UsbUriNamesDevice(c.uri, c.device), c.names) << c.uri;
    }
}

// Each printer as "name port -> device", "-> none" or "-> left out".
std::vector<std::string> Listed(const std::vector<UsbPrinterDevice>& devices,
                                const std::vector<PrinterInfo>& queues) {
    std::vector<std::string> listed;
    for (const UsbMatchedPrinter& p : MatchUsbPrinters(devices, queues).printers) {
        listed.push_back(p.info.printerName + " " + p.info.portName + " -> " +
                         (p.device >= 0        ? std::to_string(p.device)
                          : !p.leftOut.empty() ? "left out"
                                               : "none"));
    }
    return listed;
}

TEST(UsbPrinterMatch, EachPrinterLeadsToTheOneDeviceItsUriNames) {
    const PrinterInfo sn1 = {"Q", "Zarvel KQ-10", "usb://Zarvel/KQ-10?serial=SN1", 0};
    const struct {
        const char* what;
        std::vector<UsbPrinterDevice> devices;
        std::vector<PrinterInfo> queues;
        std::vector<std::string> listed;
    } worlds[] = {
        {"a queue, another kind of queue, and a device without one",
         {Device("KQ-10", "SN1"), Device("ZT-5", "ZT7", "1-3")},
         {sn1, {"laser", "Generic", "ipp://host/ipp/print", 0}},
         {"Q usb://Zarvel/KQ-10?serial=SN1 -> 0", "laser ipp://host/ipp/print -> none",
          "Zarvel ZT-5 usb://Zarvel/ZT-5?serial=ZT7 -> 1"}},
        {"a stale queue, and two queues on one device",
         {Device("KQ-10", "SN2")},
         {sn1, {"A", "", "usb://Zarvel/KQ-10?serial=SN2", 0}, {"B", "", "usb://ZARVEL/KQ-10", 0}},
         {"Q usb://Zarvel/KQ-10?serial=SN1 -> none", "A usb://Zarvel/KQ-10?serial=SN2 -> 0",
          "B usb://ZARVEL/KQ-10 -> 0"}},
        {"twins without serials, told apart by their USB ports",
         {Device("KQ-10", "", "1-2"), Device("KQ-10", "", "1-3")},
         {},
         {"Zarvel KQ-10 usb://Zarvel/KQ-10?location=1-2 -> 0",
          "Zarvel KQ-10 (2) usb://Zarvel/KQ-10?location=1-3 -> 1"}},
        {"twins sharing a serial, and a queue that names both",
         {Device("KQ-10", "SN1", "1-2"), Device("KQ-10", "SN1", "1-3")},
         {sn1},
         {"Q usb://Zarvel/KQ-10?serial=SN1 -> left out",
          "Zarvel KQ-10 usb://Zarvel/KQ-10?location=1-2 -> 0",
          "Zarvel KQ-10 (2) usb://Zarvel/KQ-10?location=1-3 -> 1"}},
        {"SN12 beside SN1",
         {Device("KQ-10", "SN12"), Device("KQ-10", "SN1", "1-3")},
         {},
         {"Zarvel KQ-10 usb://Zarvel/KQ-10?serial=SN12 -> 0",
          "Zarvel KQ-10 (2) usb://Zarvel/KQ-10?serial=SN1 -> 1"}},
        {"a serial of \"?\", which a URI cannot tell from none",
         {Device("KQ-10", "?"), Device("KQ-10", "SN1", "1-3")},
         {{"P", "", "usb://Zarvel/KQ-10?serial=%3F", 0}},
         {"P usb://Zarvel/KQ-10?serial=%3F -> left out",
          "Zarvel KQ-10 usb://Zarvel/KQ-10?location=1-2 -> 0",
          "Zarvel KQ-10 (2) usb://Zarvel/KQ-10?serial=SN1 -> 1"}},
        {"twins that neither a serial nor a port tells apart",
         {Device("KQ-10", "", ""), Device("KQ-10", "", "")},
         {},
         {"Zarvel KQ-10 usb://Zarvel/KQ-10?location= -> left out",
          "Zarvel KQ-10 (2) usb://Zarvel/KQ-10?location= -> left out"}},
        {"non-ASCII serials that CUPS reads alike",
         {Device("KQ-10", "S\xC3\xA9"), Device("KQ-10", "S\xC3\xB6", "1-3")},
         {{"P", "", "usb://Zarvel/KQ-10?serial=S?", 0}},
         {"P usb://Zarvel/KQ-10?serial=S? -> left out",
          "Zarvel KQ-10 usb://Zarvel/KQ-10?serial=S%C3%A9 -> 0",
          "Zarvel KQ-10 (2) usb://Zarvel/KQ-10?serial=S%C3%B6 -> 1"}},
    };
    for (const auto& w : worlds) {
        EXPECT_EQ(Listed(w.devices, w.queues), w.listed) << w.what;
    }
}

TEST(UsbPrinterMatch, LocateSaysWhyAPrinterLeadsToNoUnit) {
    std::vector<UsbPrinterDevice> devices = {Device("KQ-10", "SN1", "1-2"),
                                             Device("KQ-10", "SN1", "1-3"), Device("", "")};
    devices[2].vendorId = 0x1a2b;
    devices[2].productId = 0x10;
    devices[2].busNumber = 1;
    devices[2].openError = "LIBUSB_ERROR_ACCESS";
    const std::string busError = "LIBUSB_ERROR_IO";
    const struct {
        PrinterInfo printer;
        const std::string* busError;
        const char* detail;
    } cases[] = {
        {{"Q", "", "usb://Zarvel/KQ-10?serial=SN1", 0},
         nullptr,
         "the USB printer usb://Zarvel/KQ-10?serial=SN1 is left out: 2 attached USB printers "
         "match its device URI and CUPS cannot tell them apart"},
        {{"Q", "", "usb://Zarvel/KQ-10?serial=GONE", 0},
         nullptr,
         "no attached USB printer matches usb://Zarvel/KQ-10?serial=GONE; printers that could "
         "not be asked who they are: VID_1A2B&PID_0010 on bus 1: LIBUSB_ERROR_ACCESS"},
        {{"laser", "", "socket://laser:9100", 0},
         nullptr,
         "the printer laser is not on a USB port (socket://laser:9100)"},
        {{"Q", "", "usb://Zarvel/KQ-10?location=1-3", 0},
         &busError,
         "USB devices cannot be listed: LIBUSB_ERROR_IO"},
    };
    const UsbPrinterMatch match = MatchUsbPrinters(devices, {});
    for (const auto& c : cases) {
        DeviceRef ref;
        LocateFailure failure;
        EXPECT_FALSE(LocateUsbPrinter(c.printer, devices, match, c.busError, &ref, &failure));
        EXPECT_EQ(failure.detail, c.detail);
    }
    // A unit without a port path is where the bus put it.
    std::vector<UsbPrinterDevice> alone = {Device("KQ-10", "SN7", "")};
    alone[0].busNumber = 2;
    alone[0].address = 5;
    DeviceRef ref;
    LocateFailure failure;
    ASSERT_TRUE(LocateUsbPrinter({"Q", "", "usb://Zarvel/KQ-10?serial=SN7", 0}, alone,
                                 MatchUsbPrinters(alone, {}), nullptr, &ref, &failure));
    EXPECT_EQ(ref.id + " " + ref.serial + " " + ref.location, "2:5 SN7 bus 2:5");
}

}  // namespace
}  // namespace marnel
