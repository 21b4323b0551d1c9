// The device's side of the protocol, in memory: a KQ or ZT series device in
// service mode (or update mode) that answers vendor requests and sends its
// report over the data pipe, with faults that can be switched on and a log
// of every request it received, byte for byte.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Types.h"

namespace marnel {

class VirtualClock;

enum class SimModel {
    kKQ10,  // fixed parameter layout, line-mode report
    kKQ20,  // counted layout, report ended by ETX
    kZT5,   // counted layout, report ended by ETX
};

enum class SimMode {
    kService,  // answers "SERVICE" and every request
    kUpdate,   // restarted for a firmware update: no "SERVICE", requests fail
};

// "KQ-10", "KQ-20", "ZT-5".
const char* SimModelName(SimModel model);
// The model for a name such as "zt-5" (letter case ignored).
std::optional<SimModel> ParseSimModel(const std::string& name);
// Every model the simulator knows, for help texts.
std::vector<SimModel> AllSimModels();

// Faults, all off by default. Status faults apply to the status gets that
// follow a command (parameter read, store, version) and to the line-mode
// report status.
struct SimFaults {
    // Status gets answered busy after each command before the real answer.
    int busyPolls = 0;
    // Answered instead of 0x00 once the busy polls are spent.
    std::optional<std::uint8_t> failedStatus;
    // 0: failedStatus applies to every command; else only to this command byte.
    std::uint8_t failedStatusCommand = 0;
    // Bytes 0 and 2 of every status reply (never examined by the tool).
    std::uint8_t statusPadding = 0x00;
    // Status gets succeed but deliver only this many of the three bytes.
    std::optional<DWORD> statusReplyLength;
    // Replaces the identity answer; its size is the count returned.
    std::optional<std::vector<std::uint8_t>> identityReply;
    // 1-based numbers of control calls (counted since the last ClearLog) that fail.
    std::set<int> failControlCalls;
    // Data gets (parameter block, version) deliver at most this many bytes.
    std::optional<DWORD> dataReplyLength;
    // Every data-pipe read after this many report bytes fails.
    std::optional<std::size_t> readFailAfter;
    // The data pipe delivers nothing at all: every read succeeds empty.
    bool silent = false;
    // Empty reads before each report byte, as a slow device gives them.
    int emptyReadsBeforeByte = 0;
    // Time an empty read takes (a read time-out), moved on the shared clock.
    DWORD emptyReadMs = 100;
};

// One request as the device received it.
struct SimLogEntry {
    enum class Op { kControl, kRead };
    Op op = Op::kControl;
    DWORD controlCode = 0;              // kControl: 0x220038 set, 0x22003C get
    std::vector<std::uint8_t> request;  // kControl: the request buffer, byte for byte
    DWORD replyCapacity = 0;            // output size, or bytes asked of a read
    BOOL ok = 0;                        // what the call returned
    std::vector<std::uint8_t> reply;    // the bytes delivered
    std::uint64_t atMs = 0;             // shared clock's time on arrival (0 without one)
    // A request a real device would refuse: unknown, a get of another reply
    // capacity than its request fixes, a report status from an ETX model, a
    // data write that is not one whole block, or a store without a block
    // written just before it. It fails as the control call.
    bool unexpected = false;
};

// A print job as the device received it.
struct SimJob {
    SimMode modeOnArrival = SimMode::kService;
    std::uint64_t size = 0;
    std::uint32_t crc32 = 0;          // of all its bytes (IEEE 802.3 polynomial)
    std::vector<std::uint8_t> bytes;  // empty when bytes are not kept
    bool complete = false;            // EndJob was called
};

// CRC-32 as zip and Ethernet compute it; `crc` continues an earlier value.
std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

class SimDevice {
public:
    explicit SimDevice(SimModel model = SimModel::kKQ10);

    SimModel Model() const { return m_model; }
    SimMode Mode() const { return m_mode; }
    void SetMode(SimMode mode) { m_mode = mode; }

    // Shares the test's virtual clock: stamps the log and lets empty reads
    // take time as a real read time-out would. Null: no clock.
    void SetClock(VirtualClock* clock) { m_clock = clock; }

    SimFaults& Faults() { return m_faults; }

    // The report text the device composes; the ETX of counted-layout models
    // is added when the report is sent.
    void SetReport(std::vector<std::uint8_t> report) { m_report = std::move(report); }
    void SetReport(const std::string& report) { m_report.assign(report.begin(), report.end()); }
    const std::vector<std::uint8_t>& Report() const { return m_report; }
    // The byte that ends a report on the wire, if the model sends one.
    std::optional<std::uint8_t> ReportTerminator() const;

    // The version data get's reply, delivered as is (up to the capacity).
    void SetVersionReply(std::vector<std::uint8_t> reply) { m_versionReply = std::move(reply); }
    // A version text delivered with a terminating zero byte.
    void SetVersion(const std::string& version);
    const std::vector<std::uint8_t>& VersionReply() const { return m_versionReply; }

    // The block the device holds (and hands out on a parameter read).
    void SetParameterBlock(std::vector<std::uint8_t> block) { m_block = std::move(block); }
    const std::vector<std::uint8_t>& ParameterBlock() const { return m_block; }
    // When on (the default), a store is refused with status 0x01 unless the
    // written block has 266 bytes and a valid checksum (in either layout).
    void SetVerifyStoredBlock(bool verify) { m_verifyStoredBlock = verify; }
    int StoreCount() const { return m_storeCount; }
    // Runs `hook` after each block the device stored, as a test's way to act
    // at that moment (a signal, an unplug).
    void OnStored(std::function<void()> hook) { m_onStored = std::move(hook); }

    // A print job reaching the device through the spooler, handed over in
    // pieces as the spooler passes them on: the device records its size and
    // CRC-32, and its bytes unless told not to (a very large job need not be
    // held in memory to be checked). When a job ends in update mode and a
    // restart version was set, the device comes back in service mode with
    // that version, as after a firmware update; or with the one the image
    // names, when its first bytes hold SimulatedVersionIn's text.
    void ReceiveJobData(const std::uint8_t* data, std::size_t size);
    void EndJob();
    void ReceiveJob(const std::vector<std::uint8_t>& job);  // one whole job
    void SetKeepJobBytes(bool keep) { m_keepJobBytes = keep; }
    // ...and, when set, this parameter block, as a firmware that resets them.
    void SetBlockAfterFirmware(std::vector<std::uint8_t> block) {
        m_blockAfterFirmware = std::move(block);
    }
    void SetVersionAfterFirmware(std::optional<std::string> version) {
        m_versionAfterFirmware = std::move(version);
    }
    const std::vector<SimJob>& Jobs() const { return m_jobs; }

    // The device side of DeviceIoControl and ReadFile.
    BOOL IoControl(DWORD controlCode, const std::uint8_t* in, DWORD inSize, std::uint8_t* out,
                   DWORD outSize, DWORD* bytesReturned);
    BOOL Read(std::uint8_t* buffer, DWORD bytesToRead, DWORD* bytesRead);

    const std::vector<SimLogEntry>& Log() const { return m_log; }
    // Only the control requests, in order.
    std::vector<SimLogEntry> ControlLog() const;
    std::size_t ReadCount() const;
    // Requests refused as unknown since the device was made; ClearLog keeps
    // this count, so a test bench can still see what happened before it.
    std::size_t UnexpectedCount() const { return m_unexpected; }
    // Forgets the log and restarts the control call count of failControlCalls.
    void ClearLog();

private:
    BOOL AnswerGet(const std::uint8_t* in, DWORD inSize, std::uint8_t* out, DWORD outSize,
                   DWORD* bytesReturned, SimLogEntry& entry);
    BOOL AnswerSet(const std::uint8_t* in, DWORD inSize, SimLogEntry& entry);
    BOOL AnswerStatus(std::uint8_t* out, DWORD outSize, DWORD* bytesReturned, SimLogEntry& entry);
    BOOL Deliver(const std::vector<std::uint8_t>& reply, DWORD limit, std::uint8_t* out,
                 DWORD outSize, DWORD* bytesReturned, SimLogEntry& entry);
    std::uint8_t CompleteCommand();
    bool StoredBlockAcceptable() const;
    std::uint64_t Now() const;
    void SpendEmptyRead();

    SimModel m_model;
    SimMode m_mode = SimMode::kService;
    VirtualClock* m_clock = nullptr;
    SimFaults m_faults;

    std::vector<std::uint8_t> m_report;
    std::vector<std::uint8_t> m_versionReply;
    std::vector<std::uint8_t> m_block;
    bool m_verifyStoredBlock = true;
    int m_storeCount = 0;
    std::function<void()> m_onStored;

    // The command being worked on: its request bytes, how many status gets
    // it has answered, and whether its data are ready for the data get.
    std::vector<std::uint8_t> m_command;
    int m_statusGets = 0;
    bool m_commandDone = false;
    std::vector<std::uint8_t> m_written;  // the last block write, until stored
    bool m_freshWrite = false;            // no command since m_written arrived

    // The report on the wire and how far it has gone.
    bool m_reportActive = false;
    std::vector<std::uint8_t> m_stream;
    std::size_t m_streamPos = 0;
    std::size_t m_reportBytesSent = 0;
    int m_emptyReadsDone = 0;

    std::vector<SimJob> m_jobs;
    bool m_keepJobBytes = true;
    std::optional<std::string> m_versionAfterFirmware;
    std::vector<std::uint8_t> m_jobHead;  // the current job's first bytes, for the version
    std::vector<std::uint8_t> m_blockAfterFirmware;

    std::vector<SimLogEntry> m_log;
    int m_controlCalls = 0;
    std::size_t m_unexpected = 0;
};

// The version a simulated firmware image names: the ASCII text
// "SIMULATED-VERSION=<version>" starting in its first 4096 bytes, the version
// ended by a line end or the end of `size` (the whole image). None when the
// image names none, or names one a device could not hand out (empty, longer
// than its version reply holds, or not printable).
std::optional<std::string> SimulatedVersionIn(const std::uint8_t* image, std::size_t size);
// How much of an image SimulatedVersionIn needs to see: the marker's last
// start, the marker, the longest version and a CR LF.
constexpr std::size_t kSimulatedVersionWindow = 4096 + 32;

// A valid default parameter block for a model (fixed layout for the KQ-10,
// counted for the others), as a factory-set device holds it.
std::vector<std::uint8_t> DefaultParameterBlock(SimModel model);
// The report a factory-set device of the model composes, CR LF line ends.
std::string DefaultReportText(SimModel model);
// The version text of the model's shipped firmware.
std::string DefaultVersionText(SimModel model);

}  // namespace marnel
