#pragma once
// A piece of work run on a thread of its own and waited for with a bound.
#include <cstdint>
#include <functional>

namespace platform {

class Threads {
public:
    virtual ~Threads() = default;
    // Runs body on a new thread and waits at most timeoutMs for it. False exactly when the wait timed out;
    // the thread is then left to finish on its own, so whatever body uses must outlive it. A thread that
    // cannot be started counts as finished.
    virtual bool runWithin(std::function<void()> body, std::uint32_t timeoutMs) = 0;
};

}  // namespace platform
