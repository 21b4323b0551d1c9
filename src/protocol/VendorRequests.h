// The device's wire protocol in one place: the two control codes that carry
// vendor requests, every request buffer the tool sends, the reply sizes, the
// status values and the poll schedules. The simulated device answers by the
// same constants, so a change here is a change on both sides of the wire.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "platform/DeviceFile.h"
#include "platform/Types.h"

namespace marnel {

// The two control codes that carry a request, and the three header bytes
// every request begins with, are the device file's (platform/DeviceFile.h).

// --- Request buffer ------------------------------------------------------
//
//   offset 0  request code, always 0xF0
//   offset 1  first value byte, always 0x00
//   offset 2  second value byte: 0x00 identity, 0x08 command/status, 0x0A data
//   offset 3  command byte(s) for 0x08; for 0x0A the command byte of the
//             command being fetched (get) or the whole data written (set)
//
// A status get repeats the command's own buffer byte for byte; a data get is
// the command's buffer with only byte 2 changed from 0x08 to 0x0A.

constexpr std::uint8_t kVendorRequestCode = 0xF0;
constexpr std::uint8_t kValueHigh = 0x00;
constexpr std::uint8_t kValueIdentity = 0x00;
constexpr std::uint8_t kValueCommand = 0x08;
constexpr std::uint8_t kValueData = 0x0A;

constexpr std::uint8_t kCommandParameterRead = 0x01;
constexpr std::uint8_t kCommandStore = 0x02;  // sent twice: 0x02 0x02
constexpr std::uint8_t kCommandVersion = 0x03;
constexpr std::uint8_t kCommandReport = 0x04;

// identity (get), reply capacity kIdentityReplySize: F0 00 00
constexpr std::array<std::uint8_t, 3> kIdentityRequest = {kVendorRequestCode, kValueHigh,
                                                          kValueIdentity};

// start parameter read (set) and its status (get, 3-byte reply): F0 00 08 01
constexpr std::array<std::uint8_t, 4> kParameterReadCommand = {
    kVendorRequestCode, kValueHigh, kValueCommand, kCommandParameterRead};
// parameter data read (get, reply capacity = the caller's block size, 266): F0 00 0A 01
constexpr std::array<std::uint8_t, 4> kParameterDataReadRequest = {kVendorRequestCode, kValueHigh,
                                                            kValueData, kCommandParameterRead};
// parameter data write (set): F0 00 0A followed by the block's bytes
// unchanged, 269 bytes in all for a 266-byte block.
constexpr std::array<std::uint8_t, 3> kParameterDataWriteHeader = {kVendorRequestCode, kValueHigh,
                                                                   kValueData};
// store parameters (set) and its status (get, 3-byte reply): F0 00 08 02 02
constexpr std::array<std::uint8_t, 5> kStoreCommand = {kVendorRequestCode, kValueHigh,
                                                       kValueCommand, kCommandStore, kCommandStore};

// start version read (set) and its status (get, 3-byte reply): F0 00 08 03
constexpr std::array<std::uint8_t, 4> kVersionCommand = {kVendorRequestCode, kValueHigh,
                                                         kValueCommand, kCommandVersion};
// version data read (get, reply capacity = the caller's size, 9): F0 00 0A 03
constexpr std::array<std::uint8_t, 4> kVersionDataReadRequest = {kVendorRequestCode, kValueHigh,
                                                          kValueData, kCommandVersion};

// start report (set), then single-byte reads of the data pipe; in line mode
// also the report status (get, 3-byte reply) after each line feed: F0 00 08 04
constexpr std::array<std::uint8_t, 4> kReportCommand = {kVendorRequestCode, kValueHigh,
                                                        kValueCommand, kCommandReport};

// --- Replies -------------------------------------------------------------

// Identity: a device in service mode answers exactly these 8 bytes, "SERVICE"
// and a zero byte; the count of bytes returned must be 8 as well.
constexpr std::size_t kIdentityReplySize = 8;
constexpr std::array<std::uint8_t, kIdentityReplySize> kServiceIdentity = {'S', 'E', 'R', 'V',
                                                                           'I', 'C', 'E', 0x00};

// Status reply: 3 bytes, only byte 1 is looked at. The reply buffer starts
// as 00 02 00 (busy) and is not refilled between polls.
constexpr std::size_t kStatusReplySize = 3;
constexpr std::size_t kStatusByteIndex = 1;
constexpr std::uint8_t kStatusDone = 0x00;
constexpr std::uint8_t kStatusBusy = 0x02;
constexpr std::array<std::uint8_t, kStatusReplySize> kStatusReplyInitial = {0x00, kStatusBusy,
                                                                            0x00};

// Capacities every caller passes.
constexpr std::size_t kParameterBlockSize = 266;
constexpr std::size_t kVersionBufferSize = 9;
constexpr std::size_t kReportBufferSize = 4096;

// Report stream: in ETX mode this byte ends the report and is not stored; in
// line mode a stored line feed is followed by one report status get.
constexpr std::uint8_t kReportEtx = 0x03;
constexpr std::uint8_t kReportLineFeed = 0x0A;

// --- Poll schedules ------------------------------------------------------

struct PollSchedule {
    DWORD waitBeforeMs;  // one sleep before the first poll
    DWORD intervalMs;    // sleep before each poll
    int maxPolls;        // a failed or busy poll is spent; after the last, failure
};

constexpr PollSchedule kParameterReadPolls = {0, 100, 4};  // at most 400 ms
constexpr PollSchedule kStorePolls = {500, 100, 10};       // 500 ms + at most 1000 ms
constexpr PollSchedule kVersionPolls = {0, 50, 4};         // at most 200 ms

}  // namespace marnel
