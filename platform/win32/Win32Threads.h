#pragma once
#include "platform/Threads.h"

namespace platform {

class Win32Threads : public Threads {
public:
    RunOutcome runWithin(std::function<void()> body, std::uint32_t timeoutMs) override;
};

}  // namespace platform
