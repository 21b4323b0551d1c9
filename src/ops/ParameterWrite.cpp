#include "ops/ParameterWrite.h"

#include "protocol/DevicePort.h"

namespace marnel {

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
    ParameterBlockBytes given{};
    if (readBack && (!port.ReadParameterBlock(given) || given != block)) {
        result.kind = OutcomeKind::kDeviceFailed;
        result.readBackFailed = true;
        result.failure.cause = "the device did not give back the parameters it was sent";
    }
    return result;
}

}  // namespace marnel
