#include "protocol/Result.h"

namespace marnel {

std::string Failure::Describe() const {
    std::string text;
    for (const std::string& step : context) {
        text += step + ": ";
    }
    return text + (device.kind != FailureKind::kNone ? DescribeFailure(device) : cause);
}

}  // namespace marnel
