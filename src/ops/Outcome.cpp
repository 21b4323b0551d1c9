#include "ops/Outcome.h"

namespace marnel {

const char* OutcomeText(OutcomeKind kind) {
    switch (kind) {
        case OutcomeKind::kSucceeded:
            return "succeeded";
        case OutcomeKind::kRefused:
            return "refused";
        case OutcomeKind::kCancelled:
            return "cancelled";
        case OutcomeKind::kInterrupted:
            return "interrupted";
        case OutcomeKind::kFileChanged:
            return "file changed";
        case OutcomeKind::kSentNotVerified:
            return "sent, not verified";
        case OutcomeKind::kNoDevice:
        case OutcomeKind::kDeviceFailed:
        case OutcomeKind::kFileError:
        case OutcomeKind::kOutOfMemory:
            break;
    }
    return "failed";
}

}  // namespace marnel
