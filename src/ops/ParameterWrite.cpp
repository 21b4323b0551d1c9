#include "ops/ParameterWrite.h"

#include "protocol/DevicePort.h"

namespace marnel {

Status ReadBlockAsDelivered(CDevicePort& port, ParameterBlockBytes& block, bool* checksumValid) {
    Status read = port.ReadParameterBlock(block);
    *checksumValid = static_cast<bool>(read);
    if (!read && read.Error().device.kind == FailureKind::kBadChecksum) {
        return Status();
    }
    return read;
}

BlockWriteResult StoreBlock(CDevicePort& port, const ParameterBlockBytes& block, int attempts,
                            bool readBack) {
    BlockWriteResult result;
    bool stored = false;
    for (int attempt = 0; attempt < attempts && !stored; ++attempt) {
        const Status written = port.WriteParameterBlock(block);
        stored = static_cast<bool>(written);
        if (!stored) {
            result.failure = written.Error();
            result.outOfMemory += result.failure.device.kind == FailureKind::kOutOfMemory ? 1 : 0;
        }
    }
    if (!stored) {
        result.kind = OutcomeKind::kDeviceFailed;
        return result;
    }
    result.failure = Failure{};
    if (!readBack) {
        return result;
    }
    // The bytes themselves are compared: a block stored as sent is stored,
    // whether or not its checksum holds.
    ParameterBlockBytes given{};
    bool valid = false;
    const Status read = ReadBlockAsDelivered(port, given, &valid);
    if (!read) {
        result.kind = OutcomeKind::kDeviceFailed;
        result.readBackFailed = true;
        result.failure = read.Error();
        result.failure.context.insert(result.failure.context.begin(),
                                      "the block was stored, but reading it back failed");
    } else if (given != block) {
        result.kind = OutcomeKind::kDeviceFailed;
        result.readBackFailed = true;
        result.failure.cause = "the device did not give back the parameters it was sent";
    }
    result.checksumInvalid = !valid;
    return result;
}

}  // namespace marnel
