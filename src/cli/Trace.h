// --trace: every vendor request and data-pipe read, with its reply, in hex.
#pragma once

#include <iosfwd>

#include "protocol/DeviceFailure.h"

namespace marnel::cli {

// An observer that writes one line per request to `err`, e.g.
// "trace: get  identity        F0 00 00 -> ok 53 45 52 56 49 43 45 00".
RequestObserver MakeHexTracer(std::ostream& err);

}  // namespace marnel::cli
