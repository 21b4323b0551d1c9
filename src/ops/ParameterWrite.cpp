#include "ops/ParameterWrite.h"

#include "protocol/DevicePort.h"

namespace marnel {

BlockWriteResult StoreBlock(CDevicePort& port, const ParameterBlockBytes& block, int attempts,
                            bool readBack) {
    BlockWriteResult result;
    bool stored = false;
    for (int attempt = 0; attempt < attempts && !stored; ++attempt) {
        stored = port.WriteParameterBlock(block.data(), kParameterBlockSize) != 0;
        if (!stored) {
            result.failure = port.LastFailure();
            result.outOfMemory += result.failure.kind == FailureKind::kOutOfMemory ? 1 : 0;
        }
    }
    if (!stored) {
        result.kind = OutcomeKind::kDeviceFailed;
        result.detail = DescribeFailure(result.failure);
        return result;
    }
    result.failure = DeviceFailure{};
    ParameterBlockBytes given{};
    if (readBack &&
        (!port.ReadParameterBlock(given.data(), kParameterBlockSize) || given != block)) {
        result.kind = OutcomeKind::kDeviceFailed;
        result.readBackFailed = true;
        result.detail = "the device did not give back the parameters it was sent";
    }
    return result;
}

}  // namespace marnel
