#include "platform/fake/FakeThreads.h"

namespace platform {

RunOutcome FakeThreads::runWithin(std::function<void()> body, std::uint32_t timeoutMs) {
    timeoutsAsked.push_back(timeoutMs);
    if (startsNoThread) return RunOutcome::NotStarted;
    body();
    return timesOut ? RunOutcome::TimedOut : RunOutcome::Finished;
}

}  // namespace platform
