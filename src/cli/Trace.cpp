#include "cli/Trace.h"

#include <cstdio>
#include <ostream>
#include <string>

#include "protocol/VendorRequests.h"

namespace marnel::cli {

namespace {

std::string Hex(const std::uint8_t* bytes, DWORD length) {
    std::string text;
    char cell[4];
    for (DWORD i = 0; i < length; ++i) {
        std::snprintf(cell, sizeof cell, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += cell;
    }
    return text;
}

const char* Operation(DWORD controlCode) {
    switch (controlCode) {
        case kIoctlVendorSetCommand:
            return "set ";
        case kIoctlVendorGetCommand:
            return "get ";
        default:
            return "read";
    }
}

}  // namespace

RequestObserver MakeHexTracer(std::ostream& err) {
    return [&err](const RequestTrace& trace) {
        err << "trace: " << Operation(trace.controlCode) << ' '
            << DeviceRequestName(trace.request);
        if (trace.controlCode != 0) {
            err << ": " << Hex(trace.requestBytes, trace.requestLength);
        }
        err << " -> " << (trace.ok ? "ok" : "FAILED");
        if (trace.ok && trace.replyLength > 0) {
            err << ' ' << Hex(trace.replyBytes, trace.replyLength);
        }
        err << '\n';
    };
}

}  // namespace marnel::cli
