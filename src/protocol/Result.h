// The one failure type of the core: the cause (the device's, or the
// system's in words) and what was being done when it came, outermost
// first, and the result that carries it. Results cannot be ignored.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "protocol/DeviceFailure.h"

namespace marnel {

struct Failure {
    DeviceFailure device;              // a transfer's own cause; kind kNone when not the device's
    std::string cause;                 // the system's cause in words, when it is not the device's
    std::vector<std::string> context;  // what was being done, outermost first

    // "storing the block: store status: the device reported failure (status 0x01)".
    std::string Describe() const;
};

class [[nodiscard]] Status {
public:
    Status() = default;  // success
    static Status Failed(Failure failure) {
        Status status;
        status.m_ok = false;
        status.m_failure = std::move(failure);
        return status;
    }

    explicit operator bool() const { return m_ok; }
    const Failure& Error() const { return m_failure; }

    // The same failure, seen from one step further out.
    Status Within(const std::string& what) && {
        if (!m_ok) {
            m_failure.context.insert(m_failure.context.begin(), what);
        }
        return std::move(*this);
    }

private:
    bool m_ok = true;
    Failure m_failure;
};

}  // namespace marnel
