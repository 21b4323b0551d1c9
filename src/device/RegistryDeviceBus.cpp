#include "device/RegistryDeviceBus.h"

#include <cstring>
#include <limits>
#include <new>
#include <vector>

#include "device/DeviceSerial.h"
#include "platform/DeviceFile.h"
#include "platform/PlatformVersion.h"

namespace marnel {

namespace {

constexpr std::size_t kMaxControlSize = std::numeric_limits<DWORD>::max();

// An open device path: the vendor requests as the printing class driver's
// two device controls, the data pipe as ReadFile.
class CDeviceFileLink : public IDeviceLink {
public:
    explicit CDeviceFileLink(IDeviceFile& deviceFile) : m_deviceFile(deviceFile) {}
    ~CDeviceFileLink() override {
        if (m_hDevice != InvalidHandle()) {
            m_deviceFile.Close(m_hDevice);  // nothing to do about a failed close
        }
    }

    CDeviceFileLink(const CDeviceFileLink&) = delete;
    CDeviceFileLink& operator=(const CDeviceFileLink&) = delete;

    bool Open(const std::string& path) {
        m_hDevice = m_deviceFile.Open(path, CRegistryDeviceBus::kOpenDesiredAccess,
                                      CRegistryDeviceBus::kOpenShareMode, nullptr,
                                      CRegistryDeviceBus::kOpenCreationDisposition,
                                      CRegistryDeviceBus::kOpenFlagsAndAttributes, nullptr);
        return m_hDevice != InvalidHandle();
    }

    bool VendorSet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                   std::size_t size) override {
        std::vector<std::uint8_t> input;
        if (!Pack(request, value, data, size, &input)) {
            return false;
        }
        DWORD returned = 0;
        return m_deviceFile.IoControl(m_hDevice, kIoctlVendorSetCommand, input.data(),
                                      static_cast<DWORD>(input.size()), nullptr, 0, &returned,
                                      nullptr) != 0;
    }

    bool VendorGet(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                   std::size_t size, std::uint8_t* reply, std::size_t capacity,
                   std::size_t* received) override {
        std::vector<std::uint8_t> input;
        if (capacity > kMaxControlSize || !Pack(request, value, data, size, &input)) {
            return false;
        }
        DWORD returned = 0;
        const BOOL ok = m_deviceFile.IoControl(m_hDevice, kIoctlVendorGetCommand, input.data(),
                                               static_cast<DWORD>(input.size()), reply,
                                               static_cast<DWORD>(capacity), &returned, nullptr);
        *received = returned;
        return ok != 0;
    }

    bool ReadData(std::uint8_t* buffer, std::size_t size, std::size_t* received) override {
        if (size > kMaxControlSize) {
            return false;
        }
        DWORD read = 0;
        const BOOL ok =
            m_deviceFile.Read(m_hDevice, buffer, static_cast<DWORD>(size), &read, nullptr);
        *received = read;
        return ok != 0;
    }

private:
    // The driver's input buffer: the request code, the value's high then low
    // byte, then the data. False when it cannot be described to the driver
    // or no memory is left for it.
    static bool Pack(std::uint8_t request, std::uint16_t value, const std::uint8_t* data,
                     std::size_t size, std::vector<std::uint8_t>* input) {
        if (size > kMaxControlSize - kRequestHeaderSize) {
            return false;
        }
        try {
            input->resize(kRequestHeaderSize + size);
        } catch (const std::bad_alloc&) {
            return false;
        }
        (*input)[0] = request;
        (*input)[1] = static_cast<std::uint8_t>(value >> 8);
        (*input)[2] = static_cast<std::uint8_t>(value & 0xFF);
        if (size != 0) {
            std::memcpy(input->data() + kRequestHeaderSize, data, size);
        }
        return true;
    }

    IDeviceFile& m_deviceFile;
    HANDLE m_hDevice = InvalidHandle();
};

}  // namespace

CRegistryDeviceBus::CRegistryDeviceBus(IPlatformVersion& version, IRegistry& registry,
                                       IDeviceFile& deviceFile, const ICodePage& codePage)
    : m_version(version), m_registry(registry), m_deviceFile(deviceFile), m_codePage(codePage) {}

bool CRegistryDeviceBus::Locate(const PrinterInfo& printer, DeviceRef* ref,
                                LocateFailure* failure) {
    m_strCause.clear();
    std::string devicePath;
    OpenStep step = OpenStep::kNone;
    if (!FindDevicePath(printer, &devicePath, &step)) {
        *failure = LocateFailure{step, m_strCause, std::string()};
        return false;
    }
    // The system names a device's instance by its serial when it has one.
    *ref = DeviceRef{devicePath, printer.driverName, SerialOfDevicePath(devicePath), devicePath};
    return true;
}

bool CRegistryDeviceBus::FindDevicePath(const PrinterInfo& printer, std::string* devicePath,
                                        OpenStep* step) {
    const auto fail = [step](OpenStep failed) {
        *step = failed;
        return false;
    };
    DWORD platformId = 0;
    if (!m_version.GetPlatformId(&platformId)) {
        m_strCause = "the platform version query failed";
        return fail(OpenStep::kPlatformVersion);
    }
    const std::string& driverName = printer.driverName;
    const std::string& portName = printer.portName;
    if (platformId == kPlatformWin32Windows) {
        std::string deviceId;
        std::string instanceId;
        std::string instancePart;
        std::string interfaceClass;
        if (!FindUsbPrintIds9x(driverName, portName, &deviceId, &instanceId)) {
            return fail(OpenStep::kPrinterNode);
        }
        if (!FindUsbDevice9x(deviceId, instanceId, &instancePart, &interfaceClass)) {
            return fail(OpenStep::kUsbDevice);
        }
        if (!FindInterfaceLink9x(instancePart, interfaceClass, devicePath)) {
            return fail(OpenStep::kInterfaceLink);
        }
        return true;
    }
    std::string parentIdPrefix;
    std::string deviceKeyName;
    std::string instanceKeyName;
    std::string interfaceClass;
    if (!FindParentIdPrefix(driverName, portName, &parentIdPrefix)) {
        return fail(OpenStep::kPrinterNode);
    }
    if (!FindUsbDeviceByPrefix(parentIdPrefix, &deviceKeyName, &instanceKeyName, &interfaceClass)) {
        return fail(OpenStep::kUsbDevice);
    }
    if (!FindInterfaceLink(deviceKeyName, instanceKeyName, interfaceClass, devicePath)) {
        return fail(OpenStep::kInterfaceLink);
    }
    return true;
}

std::unique_ptr<IDeviceLink> CRegistryDeviceBus::Open(const DeviceRef& ref, std::string* error) {
    auto link = std::make_unique<CDeviceFileLink>(m_deviceFile);
    if (!link->Open(ref.id)) {
        error->clear();  // the device file gives no reason
        return nullptr;
    }
    return link;
}

}  // namespace marnel
