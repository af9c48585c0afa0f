#pragma once
// Runs the body at once on the caller's thread and reports the outcome a test chose.
#include "platform/Threads.h"

#include <vector>

namespace platform {

class FakeThreads : public Threads {
public:
    bool timesOut = false;
    std::vector<std::uint32_t> timeoutsAsked;

    bool runWithin(std::function<void()> body, std::uint32_t timeoutMs) override;
};

}  // namespace platform
