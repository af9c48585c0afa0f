#include "platform/fake/FakeThreads.h"

namespace platform {

bool FakeThreads::runWithin(std::function<void()> body, std::uint32_t timeoutMs) {
    timeoutsAsked.push_back(timeoutMs);
    body();
    return !timesOut;
}

}  // namespace platform
