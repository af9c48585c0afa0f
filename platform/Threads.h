#pragma once
// Threads of the install: the worker that runs the whole sequence, and pieces of work waited for with a bound.
#include <cstdint>
#include <functional>
#include <memory>

namespace platform {

// A thread that runs one body of work. Waiting for it is its owner's choice: dropping the object lets the
// thread run on to its end, so whatever the body uses must outlive it.
class Thread {
public:
    virtual ~Thread() = default;
    // Returns once the body has returned.
    virtual void wait() = 0;
};

// Starts body on a new thread at once; null when no thread can be started.
std::unique_ptr<Thread> startThread(std::function<void()> body);

class Threads {
public:
    virtual ~Threads() = default;
    // Runs body on a new thread and waits at most timeoutMs for it. False exactly when the wait timed out;
    // the thread is then left to finish on its own, so whatever body uses must outlive it. A thread that
    // cannot be started counts as finished.
    virtual bool runWithin(std::function<void()> body, std::uint32_t timeoutMs) = 0;
};

}  // namespace platform
