#include "sim/SimDevice.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "protocol/ParameterBlock.h"
#include "protocol/VendorRequests.h"
#include "sim/VirtualClock.h"

namespace marnel {

namespace {

// What a device restarted for a firmware update answers to the identity get.
const std::vector<std::uint8_t> kUpdateIdentity = {'U', 'P', 'D', 'A', 'T', 'E', 0x00, 0x00};

constexpr std::uint8_t kStatusRefused = 0x01;

bool HasRequestHeader(const std::uint8_t* in, DWORD inSize) {
    return in != nullptr && inSize >= kRequestHeaderSize && in[0] == kVendorRequestCode &&
           in[1] == kValueHigh;
}

bool IsKnownCommand(const std::uint8_t* in, DWORD inSize) {
    if (inSize == 4) {
        return in[3] == kCommandParameterRead || in[3] == kCommandVersion ||
               in[3] == kCommandReport;
    }
    return inSize == 5 && in[3] == kCommandStore && in[4] == kCommandStore;
}

// The reply capacity a get request's wire format fixes; none for a request
// that is not a get the device knows. A get of any other capacity is not one
// the device was built for, so it is refused rather than answered in part.
std::optional<DWORD> FixedReplyCapacity(const std::uint8_t* in, DWORD inSize) {
    if (in[2] == kValueIdentity && inSize == kRequestHeaderSize) {
        return static_cast<DWORD>(kIdentityReplySize);
    }
    if (in[2] == kValueCommand && IsKnownCommand(in, inSize)) {
        return static_cast<DWORD>(kStatusReplySize);
    }
    if (in[2] == kValueData && inSize == 4 && in[3] == kCommandParameterRead) {
        return static_cast<DWORD>(kParameterBlockSize);
    }
    if (in[2] == kValueData && inSize == 4 && in[3] == kCommandVersion) {
        return static_cast<DWORD>(kVersionBufferSize);
    }
    return std::nullopt;
}

}  // namespace

SimDevice::SimDevice(SimModel model) : m_model(model), m_block(DefaultParameterBlock(model)) {
    SetReport(DefaultReportText(model));
    SetVersion(DefaultVersionText(model));
}

std::optional<std::uint8_t> SimDevice::ReportTerminator() const {
    if (m_model == SimModel::kKQ10) {
        return std::nullopt;  // line mode: the status after a line feed ends it
    }
    return kReportEtx;
}

void SimDevice::SetVersion(const std::string& version) {
    m_versionReply.assign(version.begin(), version.end());
    m_versionReply.push_back(0x00);
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    // Table-driven: firmware jobs of tens of megabytes go through here.
    static const std::array<std::uint32_t, 256> kTable = [] {
        std::array<std::uint32_t, 256> table{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit) {
                c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
            }
            table[n] = c;
        }
        return table;
    }();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = kTable[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
    }
    return ~crc;
}

std::optional<std::string> SimulatedVersionIn(const std::uint8_t* image, std::size_t size) {
    static const std::string kMarker = "SIMULATED-VERSION=";
    const std::size_t scanned = std::min(size, kSimulatedVersionWindow);
    const std::string head(reinterpret_cast<const char*>(image), scanned);
    const std::size_t at = head.find(kMarker);
    if (at == std::string::npos || at >= 4096) {
        return std::nullopt;
    }
    const std::size_t start = at + kMarker.size();
    std::string version = head.substr(start, head.find('\n', start) - start);
    if (!version.empty() && version.back() == '\r') {
        version.pop_back();
    }
    const bool printable =
        std::all_of(version.begin(), version.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    if (version.empty() || version.size() >= kVersionBufferSize || !printable) {
        return std::nullopt;
    }
    return version;
}

void SimDevice::ReceiveJobData(const std::uint8_t* data, std::size_t size) {
    if (m_jobs.empty() || m_jobs.back().complete) {
        SimJob job;
        job.modeOnArrival = m_mode;
        m_jobs.push_back(std::move(job));
        m_jobHead.clear();
    }
    SimJob& job = m_jobs.back();
    const std::size_t headRoom = kSimulatedVersionWindow - m_jobHead.size();
    if (size != 0 && headRoom != 0) {
        m_jobHead.insert(m_jobHead.end(), data, data + std::min(size, headRoom));
    }
    job.size += size;
    job.crc32 = Crc32(data, size, job.crc32);
    if (m_keepJobBytes && size != 0) {
        job.bytes.insert(job.bytes.end(), data, data + size);
    }
}

void SimDevice::EndJob() {
    ReceiveJobData(nullptr, 0);  // an empty job is a job all the same
    SimJob& job = m_jobs.back();
    job.complete = true;
    if (job.modeOnArrival == SimMode::kUpdate && m_versionAfterFirmware) {
        SetVersion(SimulatedVersionIn(m_jobHead.data(), m_jobHead.size())
                       .value_or(*m_versionAfterFirmware));
        if (!m_blockAfterFirmware.empty()) {
            m_block = m_blockAfterFirmware;
        }
        m_mode = SimMode::kService;
    }
}

void SimDevice::ReceiveJob(const std::vector<std::uint8_t>& job) {
    ReceiveJobData(job.data(), job.size());
    EndJob();
}

std::uint64_t SimDevice::Now() const {
    return m_clock != nullptr ? m_clock->NowMs() : 0;
}

void SimDevice::SpendEmptyRead() {
    // A read time-out always takes some time; a zero would let a reader
    // that counts on time spin forever against the virtual clock.
    if (m_clock != nullptr) {
        m_clock->Advance(std::max<DWORD>(m_faults.emptyReadMs, 1));
    }
}

BOOL SimDevice::IoControl(DWORD controlCode, const std::uint8_t* in, DWORD inSize,
                          std::uint8_t* out, DWORD outSize, DWORD* bytesReturned) {
    SimLogEntry entry;
    entry.op = SimLogEntry::Op::kControl;
    entry.controlCode = controlCode;
    if (in != nullptr) {
        entry.request.assign(in, in + inSize);
    }
    entry.replyCapacity = outSize;
    entry.atMs = Now();
    if (bytesReturned != nullptr) {
        *bytesReturned = 0;
    }
    DWORD ignored = 0;
    DWORD* returned = bytesReturned != nullptr ? bytesReturned : &ignored;

    ++m_controlCalls;
    BOOL ok = 0;
    if (m_faults.failControlCalls.count(m_controlCalls) != 0) {
        ok = 0;
    } else if (controlCode == kIoctlVendorSetCommand) {
        if (out != nullptr || outSize != 0) {
            entry.unexpected = true;  // a set request has no reply
        } else {
            ok = AnswerSet(in, inSize, entry);
        }
    } else if (controlCode == kIoctlVendorGetCommand) {
        ok = AnswerGet(in, inSize, out, outSize, returned, entry);
    } else {
        entry.unexpected = true;
    }
    entry.ok = ok;
    if (entry.unexpected) {
        ++m_unexpected;
    }
    m_log.push_back(std::move(entry));
    return ok;
}

BOOL SimDevice::AnswerSet(const std::uint8_t* in, DWORD inSize, SimLogEntry& entry) {
    if (!HasRequestHeader(in, inSize)) {
        entry.unexpected = true;
        return 0;
    }
    if (m_mode == SimMode::kUpdate) {
        return 0;  // the update loader takes print data only
    }
    switch (in[2]) {
        case kValueCommand:
            // A store takes the block written just before it, never an older one.
            if (!IsKnownCommand(in, inSize) || (in[3] == kCommandStore && !m_freshWrite)) {
                entry.unexpected = true;
                return 0;
            }
            m_freshWrite = false;
            m_command.assign(in, in + inSize);
            m_statusGets = 0;
            m_commandDone = false;
            if (in[3] == kCommandReport) {
                m_reportActive = true;
                m_stream = m_report;
                if (const auto terminator = ReportTerminator()) {
                    m_stream.push_back(*terminator);
                }
                m_streamPos = 0;
                m_reportBytesSent = 0;
                m_emptyReadsDone = 0;
            }
            return 1;
        case kValueData:
            if (inSize != kRequestHeaderSize + kParameterBlockSize) {
                entry.unexpected = true;  // the only data written is a whole block
                return 0;
            }
            m_written.assign(in + kRequestHeaderSize, in + inSize);
            m_freshWrite = true;
            return 1;
        default:
            entry.unexpected = true;
            return 0;
    }
}

BOOL SimDevice::AnswerGet(const std::uint8_t* in, DWORD inSize, std::uint8_t* out, DWORD outSize,
                          DWORD* bytesReturned, SimLogEntry& entry) {
    if (!HasRequestHeader(in, inSize) || out == nullptr ||
        FixedReplyCapacity(in, inSize) != outSize) {
        entry.unexpected = true;
        return 0;
    }
    if (in[2] == kValueIdentity) {
        const std::vector<std::uint8_t> serviceIdentity(kServiceIdentity.begin(),
                                                        kServiceIdentity.end());
        const std::vector<std::uint8_t>& reply =
            m_mode == SimMode::kUpdate
                ? kUpdateIdentity
                : (m_faults.identityReply ? *m_faults.identityReply : serviceIdentity);
        return Deliver(reply, static_cast<DWORD>(reply.size()), out, outSize, bytesReturned, entry);
    }
    if (m_mode == SimMode::kUpdate) {
        return 0;
    }
    if (in[2] == kValueCommand) {
        // A status get repeats the command it asks about, byte for byte.
        // Only the line-mode report asks its status; an ETX report never does.
        if (m_command.empty() || inSize != m_command.size() ||
            !std::equal(m_command.begin(), m_command.end(), in) ||
            (in[3] == kCommandReport && ReportTerminator())) {
            entry.unexpected = true;
            return 0;
        }
        return AnswerStatus(out, outSize, bytesReturned, entry);
    }
    if (in[2] == kValueData) {
        // A data get fetches what the preceding command prepared, and only
        // once its status has said done.
        const bool prepared = m_commandDone && m_command.size() == 4 && m_command[3] == in[3];
        const DWORD limit = m_faults.dataReplyLength.value_or(outSize);
        if (prepared && in[3] == kCommandParameterRead) {
            return Deliver(m_block, limit, out, outSize, bytesReturned, entry);
        }
        if (prepared && in[3] == kCommandVersion) {
            return Deliver(m_versionReply, limit, out, outSize, bytesReturned, entry);
        }
    }
    entry.unexpected = true;
    return 0;
}

BOOL SimDevice::AnswerStatus(std::uint8_t* out, DWORD outSize, DWORD* bytesReturned,
                             SimLogEntry& entry) {
    const std::uint8_t command = m_command[3];
    const bool failsHere = m_faults.failedStatus && (m_faults.failedStatusCommand == 0 ||
                                                     m_faults.failedStatusCommand == command);
    std::uint8_t value = kStatusBusy;
    if (command == kCommandReport) {
        // Line mode: busy while lines remain, done once the last has gone.
        if (failsHere) {
            value = *m_faults.failedStatus;
        } else if (m_reportActive && m_streamPos >= m_stream.size()) {
            value = kStatusDone;
        }
    } else {
        ++m_statusGets;
        if (m_statusGets > m_faults.busyPolls) {
            value = failsHere ? *m_faults.failedStatus : CompleteCommand();
        }
    }
    const std::vector<std::uint8_t> reply = {m_faults.statusPadding, value, m_faults.statusPadding};
    return Deliver(reply, m_faults.statusReplyLength.value_or(kStatusReplySize), out, outSize,
                   bytesReturned, entry);
}

std::uint8_t SimDevice::CompleteCommand() {
    if (m_commandDone) {
        return kStatusDone;  // asked again: still done, nothing done twice
    }
    if (m_command[3] == kCommandStore) {
        if (!StoredBlockAcceptable()) {
            return kStatusRefused;
        }
        m_block = m_written;
        ++m_storeCount;
    }
    m_commandDone = true;
    if (m_command[3] == kCommandStore && m_onStored) {
        m_onStored();
    }
    return kStatusDone;
}

bool SimDevice::StoredBlockAcceptable() const {
    if (!m_verifyStoredBlock) {
        return true;
    }
    // The layout is not held against the model: the self test writes the
    // KQ-10 dummy block to every model and expects it stored.
    return m_written.size() == kParameterBlockSize && IsParameterBlockValid(m_written.data());
}

BOOL SimDevice::Deliver(const std::vector<std::uint8_t>& reply, DWORD limit, std::uint8_t* out,
                        DWORD outSize, DWORD* bytesReturned, SimLogEntry& entry) {
    const std::size_t count = std::min<std::size_t>({reply.size(), outSize, limit});
    if (count != 0) {
        std::memcpy(out, reply.data(), count);
    }
    *bytesReturned = static_cast<DWORD>(count);
    entry.reply.assign(reply.begin(), reply.begin() + static_cast<std::ptrdiff_t>(count));
    return 1;
}

BOOL SimDevice::Read(std::uint8_t* buffer, DWORD bytesToRead, DWORD* bytesRead) {
    SimLogEntry entry;
    entry.op = SimLogEntry::Op::kRead;
    entry.replyCapacity = bytesToRead;
    entry.atMs = Now();
    if (bytesRead != nullptr) {
        *bytesRead = 0;
    }

    BOOL ok = 1;
    const bool pending = m_reportActive && m_streamPos < m_stream.size();
    if (m_faults.readFailAfter && m_reportBytesSent >= *m_faults.readFailAfter) {
        ok = 0;
    } else if (m_faults.silent || !pending || bytesToRead == 0 || buffer == nullptr) {
        SpendEmptyRead();
    } else if (m_emptyReadsDone < m_faults.emptyReadsBeforeByte) {
        ++m_emptyReadsDone;
        SpendEmptyRead();
    } else {
        std::size_t count = std::min<std::size_t>(bytesToRead, m_stream.size() - m_streamPos);
        if (m_faults.readFailAfter) {
            count = std::min(count, *m_faults.readFailAfter - m_reportBytesSent);
        }
        std::memcpy(buffer, m_stream.data() + m_streamPos, count);
        entry.reply.assign(buffer, buffer + count);
        m_streamPos += count;
        m_reportBytesSent += count;
        m_emptyReadsDone = 0;
        if (bytesRead != nullptr) {
            *bytesRead = static_cast<DWORD>(count);
        }
    }
    entry.ok = ok;
    m_log.push_back(std::move(entry));
    return ok;
}

std::vector<SimLogEntry> SimDevice::ControlLog() const {
    std::vector<SimLogEntry> controls;
    std::copy_if(m_log.begin(), m_log.end(), std::back_inserter(controls),
                 [](const SimLogEntry& e) { return e.op == SimLogEntry::Op::kControl; });
    return controls;
}

std::size_t SimDevice::ReadCount() const {
    return static_cast<std::size_t>(
        std::count_if(m_log.begin(), m_log.end(),
                      [](const SimLogEntry& e) { return e.op == SimLogEntry::Op::kRead; }));
}

void SimDevice::ClearLog() {
    m_log.clear();
    m_controlCalls = 0;
}

}  // namespace marnel
