#pragma once
// Runs the body at once on the caller's thread and reports the outcome a test chose; or, when the test says no
// thread starts, runs nothing.
#include "platform/Threads.h"

#include <vector>

namespace platform {

class FakeThreads : public Threads {
public:
    bool timesOut = false;
    bool startsNoThread = false;
    std::vector<std::uint32_t> timeoutsAsked;

    RunOutcome runWithin(std::function<void()> body, std::uint32_t timeoutMs) override;
};

}  // namespace platform
