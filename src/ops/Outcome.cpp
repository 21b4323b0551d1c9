#include "ops/Outcome.h"

namespace marnel {

namespace {

// In the order of OutcomeKind.
const char* const kOutcomeTexts[] = {
    "succeeded", "refused",   "failed",      "failed",       "failed",
    "failed",    "cancelled", "interrupted", "file changed", "sent, not verified",
    "failed",
};
static_assert(sizeof kOutcomeTexts / sizeof kOutcomeTexts[0] ==
                  static_cast<int>(OutcomeKind::kJobHeld) + 1,
              "one text per outcome kind");

}  // namespace

const char* OutcomeText(OutcomeKind kind) { return kOutcomeTexts[static_cast<int>(kind)]; }

}  // namespace marnel
