// A device whose every reply comes from the input: whether a control call or
// a read succeeds, the count it reports, the bytes it delivers and how long
// an empty read takes, driving each of the port's transfers on the virtual
// clock.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "FuzzCheck.h"
#include "platform/DeviceFile.h"
#include "protocol/DevicePort.h"
#include "protocol/ParameterBlock.h"
#include "sim/SimWorld.h"

namespace {

using namespace marnel;

constexpr std::uint8_t kSentinel = 0xA5;

// The device file: answers from the input until it runs dry, then fails.
class ReplyingDeviceFile : public IDeviceFile {
public:
    struct Exchange {
        DWORD controlCode = 0;
        std::vector<std::uint8_t> request;
        BOOL ok = 0;
        DWORD count = 0;                  // what the call reported
        std::vector<std::uint8_t> reply;  // what it placed in the buffer
    };

    explicit ReplyingDeviceFile(VirtualClock& clock) : m_clock(clock) {}

    // The next input's replies; what the last one exchanged is forgotten.
    void Answer(FuzzedDataProvider& input) {
        m_pInput = &input;
        m_exchanges.clear();
        m_stream.clear();
    }

    HANDLE Open(const std::string&, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) override {
        return m_handle;
    }
    BOOL Close(HANDLE) override { return 1; }

    BOOL IoControl(HANDLE device, DWORD controlCode, void* inBuffer, DWORD inSize, void* outBuffer,
                   DWORD outSize, DWORD* bytesReturned, void*) override {
        FUZZ_CHECK(device == m_handle);
        Exchange exchange;
        exchange.controlCode = controlCode;
        const auto* in = static_cast<const std::uint8_t*>(inBuffer);
        exchange.request.assign(in, in + inSize);
        if (m_pInput->remaining_bytes() == 0) {
            m_exchanges.push_back(exchange);
            return 0;
        }
        exchange.ok = m_pInput->ConsumeIntegralInRange<int>(0, 7) != 0;
        // A driver may claim more than it was given room for.
        exchange.count = m_pInput->ConsumeIntegralInRange<DWORD>(0, outSize + 4);
        // What it claims within the buffer it has written, zeros where the
        // input ran dry.
        exchange.reply = m_pInput->ConsumeBytes<std::uint8_t>(std::min(exchange.count, outSize));
        exchange.reply.resize(std::min(exchange.count, outSize), 0);
        if (!exchange.reply.empty()) {
            std::memcpy(outBuffer, exchange.reply.data(), exchange.reply.size());
        }
        *bytesReturned = exchange.count;
        m_exchanges.push_back(exchange);
        return exchange.ok;
    }

    BOOL Read(HANDLE device, void* buffer, DWORD bytesToRead, DWORD* bytesRead, void*) override {
        FUZZ_CHECK(device == m_handle);
        if (m_pInput->remaining_bytes() == 0) {
            return 0;
        }
        if (m_pInput->ConsumeIntegralInRange<int>(0, 15) == 0) {
            return 0;
        }
        const std::vector<std::uint8_t> bytes = m_pInput->ConsumeBytes<std::uint8_t>(
            m_pInput->ConsumeIntegralInRange<DWORD>(0, bytesToRead));
        if (bytes.empty()) {
            m_clock.Advance(m_pInput->ConsumeIntegralInRange<DWORD>(0, 1500));  // a read time-out
        } else {
            std::memcpy(buffer, bytes.data(), bytes.size());
        }
        *bytesRead = static_cast<DWORD>(bytes.size());
        m_stream.insert(m_stream.end(), bytes.begin(), bytes.end());
        return 1;
    }

    const std::vector<Exchange>& Exchanges() const { return m_exchanges; }
    std::vector<std::uint8_t>& Stream() { return m_stream; }

private:
    FuzzedDataProvider* m_pInput = nullptr;
    VirtualClock& m_clock;
    HANDLE m_handle = reinterpret_cast<HANDLE>(0x4242);
    std::vector<Exchange> m_exchanges;
    std::vector<std::uint8_t> m_stream;  // every byte the data pipe delivered
};

const ReplyingDeviceFile::Exchange* LastOf(const ReplyingDeviceFile& file, std::uint8_t value,
                                           std::size_t requestLength) {
    const auto& all = file.Exchanges();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (it->request.size() == requestLength && it->request[2] == value) {
            return &*it;
        }
    }
    return nullptr;
}

bool IdentityAnswered(const ReplyingDeviceFile& file) {
    const auto* identity = LastOf(file, kValueIdentity, kIdentityRequest.size());
    return identity != nullptr && identity->ok && identity->count == kIdentityReplySize &&
           identity->reply.size() == kIdentityReplySize &&
           std::equal(identity->reply.begin(), identity->reply.end(), kServiceIdentity.begin());
}

// The status buffer is set once and never refilled: a get that delivers no
// status byte leaves the one an earlier get placed, whether that get
// succeeded or not. So a store is confirmed when the last status get
// succeeded and the last status byte placed was "done".
bool StoreConfirmed(const ReplyingDeviceFile& file) {
    const auto& all = file.Exchanges();
    bool lastGetOk = false;
    bool seenGet = false;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (it->controlCode != kIoctlVendorGetCommand ||
            it->request.size() != kStoreCommand.size()) {
            continue;
        }
        if (!seenGet) {
            seenGet = true;
            lastGetOk = it->ok;
        }
        if (it->reply.size() > kStatusByteIndex) {
            return lastGetOk && it->reply[kStatusByteIndex] == kStatusDone;
        }
    }
    return false;
}

// Every failure names the request that failed and how.
void CheckCause(const Status& status) {
    const DeviceFailure& cause = status.Error().device;
    FUZZ_CHECK(status ||
               (cause.kind != FailureKind::kNone && cause.request != DeviceRequest::kNone));
}

void CheckReport(CDevicePort& port, ReplyingDeviceFile& file, VirtualClock& clock) {
    ReportBuffer buffer;
    buffer.fill(kSentinel);
    const std::size_t size = buffer.size();
    file.Stream().clear();
    const std::uint64_t startMs = clock.NowMs();
    const Status read = port.ReadReport(buffer);
    CheckCause(read);
    const DeviceFailure& cause = read.Error().device;
    const bool etx = port.Quirks().reportEndsWithEtx;

    // What must have been stored: every byte delivered, in order, up to the
    // ETX that ends the report, and never more than the buffer holds.
    std::vector<std::uint8_t> expected = file.Stream();
    const auto end = etx ? std::find(expected.begin(), expected.end(), kReportEtx) : expected.end();
    const bool ended = end != expected.end();
    expected.erase(end, expected.end());
    expected.resize(std::min<std::size_t>(expected.size(), size));
    FUZZ_CHECK(std::equal(expected.begin(), expected.end(), buffer.begin()));
    FUZZ_CHECK(std::all_of(buffer.begin() + static_cast<std::ptrdiff_t>(expected.size()),
                           buffer.end(), [](std::uint8_t b) { return b == kSentinel; }));
    if (read) {
        FUZZ_CHECK(!etx || ended);
        FUZZ_CHECK(etx || (!expected.empty() && expected.back() == kReportLineFeed));
    } else if (cause.kind == FailureKind::kDeviceSilent) {
        FUZZ_CHECK(cause.silentMs >= port.ReportSilenceLimitMs());
        FUZZ_CHECK(clock.NowMs() - startMs >= port.ReportSilenceLimitMs());
    } else if (cause.kind == FailureKind::kBufferFull) {
        FUZZ_CHECK(expected.size() == size);
    }
}

CDevicePort& OpenPort(SimWorld& world, ReplyingDeviceFile& file) {
    world.AddDevice(SimDeviceSetup(SimModel::kKQ20));
    const PlatformServices& sim = world.Services();
    static CRegistryDeviceBus devices(world.Version(), world.Registry(), file, world.CodePage());
    static const PlatformServices services{sim.spooler, devices, sim.clock, sim.codePage};
    static CDevicePort port(services);
    FUZZ_CHECK(port.Open("Zarvel KQ-20"));
    port.SetRequestObserver(
        [](const RequestTrace& trace) { FUZZ_CHECK(trace.replyLength <= trace.replyCapacity); });
    return port;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // One machine and one open port for every input, so that an input
    // spends its time on the transfers rather than on the resolution.
    static SimWorld world;
    static ReplyingDeviceFile file(world.Clock());
    static CDevicePort& port = OpenPort(world, file);
    FuzzedDataProvider input(data, size);
    file.Answer(input);
    // Either rule on the one port; one value in three is ETX, as the seeds expect.
    port.SetQuirks(ModelQuirks{input.ConsumeIntegralInRange<int>(0, 2) == 1});

    for (int step = 0; step < 6 && input.remaining_bytes() > 0; ++step) {
        world.Clock().ClearSleeps();
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
            case 0: {
                const Status identity = port.IsServiceMode();
                CheckCause(identity);
                FUZZ_CHECK(static_cast<bool>(identity) == IdentityAnswered(file));
                FUZZ_CHECK(identity || identity.Error().device.request == DeviceRequest::kIdentity);
                break;
            }
            case 1: {
                ParameterBlockBytes block{};
                const Status read = port.ReadParameterBlock(block);
                CheckCause(read);
                FUZZ_CHECK(world.Clock().TotalSleptMs() <= 400);
                if (read) {
                    FUZZ_CHECK(IdentityAnswered(file) && IsParameterBlockValid(block));
                    const auto* got = LastOf(file, kValueData, kParameterDataReadRequest.size());
                    FUZZ_CHECK(got != nullptr &&
                               std::equal(got->reply.begin(), got->reply.end(), block.begin()));
                    FUZZ_CHECK(
                        std::all_of(block.begin() + static_cast<std::ptrdiff_t>(got->reply.size()),
                                    block.end(), [](std::uint8_t b) { return b == 0; }));
                }
                break;
            }
            case 2: {
                // Zeros where the input runs dry.
                const std::vector<std::uint8_t> given =
                    input.ConsumeBytes<std::uint8_t>(kParameterBlockSize);
                ParameterBlockBytes block{};
                std::copy(given.begin(), given.end(), block.begin());
                const Status stored = port.WriteParameterBlock(block);
                CheckCause(stored);
                FUZZ_CHECK(world.Clock().TotalSleptMs() <= 1500);
                if (stored) {
                    const auto* write = LastOf(file, kValueData, block.size() + kRequestHeaderSize);
                    FUZZ_CHECK(write != nullptr && write->controlCode == kIoctlVendorSetCommand);
                    FUZZ_CHECK(std::equal(block.begin(), block.end(),
                                          write->request.begin() + kRequestHeaderSize));
                    FUZZ_CHECK(StoreConfirmed(file));
                }
                break;
            }
            case 3:
                CheckReport(port, file, world.Clock());
                break;
            case 4: {
                VersionBuffer version;
                version.fill(kSentinel);
                const Status read = port.ReadVersion(version);
                CheckCause(read);
                FUZZ_CHECK(world.Clock().TotalSleptMs() <= 200);
                if (read) {
                    // The version as the data get placed it, and nothing else written.
                    FUZZ_CHECK(IdentityAnswered(file));
                    const auto* got = LastOf(file, kValueData, kVersionDataReadRequest.size());
                    FUZZ_CHECK(got != nullptr &&
                               std::equal(got->request.begin(), got->request.end(),
                                          kVersionDataReadRequest.begin()));
                    FUZZ_CHECK(std::equal(got->reply.begin(), got->reply.end(), version.begin()));
                    FUZZ_CHECK(std::all_of(
                        version.begin() + static_cast<std::ptrdiff_t>(got->reply.size()),
                        version.end(), [](std::uint8_t b) { return b == kSentinel; }));
                }
                break;
            }
        }
    }
    return 0;
}
