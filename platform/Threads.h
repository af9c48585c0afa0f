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

// How a body run on a thread of its own ended for the one who waited for it.
enum class RunOutcome {
    Finished,    // the thread ended within the time, or the wait for it failed
    TimedOut,    // the thread still runs, left to finish on its own
    NotStarted,  // no thread could be started, and the body has not run
};

class Threads {
public:
    virtual ~Threads() = default;
    // Runs body on a new thread and waits at most timeoutMs for it. A thread that outlasts the wait is left
    // to finish on its own, so whatever body uses must outlive it.
    virtual RunOutcome runWithin(std::function<void()> body, std::uint32_t timeoutMs) = 0;
};

}  // namespace platform
