#include "platform/win32/Win32Threads.h"

#include "platform/win32/ScopedHandle.h"

#include <windows.h>

#include <memory>
#include <utility>

namespace platform {
namespace {

// The thread owns its body, so a run that outlasts its owner's wait still has it.
DWORD WINAPI runBody(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

// CreateThread with the default stack size, running at once; the handle is invalid when no thread started.
HANDLE createThread(std::function<void()> body) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const HANDLE thread = CreateThread(nullptr, 0, runBody, owned.get(), 0, nullptr);
    if (thread != nullptr) owned.release();
    return thread;
}

class Win32Thread final : public Thread {
public:
    explicit Win32Thread(HANDLE handle) : handle_(handle) {}
    void wait() override { WaitForSingleObject(handle_.get(), INFINITE); }

private:
    ScopedHandle handle_;
};

}  // namespace

std::unique_ptr<Thread> startThread(std::function<void()> body) {
    const HANDLE thread = createThread(std::move(body));
    if (thread == nullptr) return nullptr;
    return std::make_unique<Win32Thread>(thread);
}

RunOutcome Win32Threads::runWithin(std::function<void()> body, std::uint32_t timeoutMs) {
    ScopedHandle thread(createThread(std::move(body)));
    if (!thread.valid()) return RunOutcome::NotStarted;
    return WaitForSingleObject(thread.get(), timeoutMs) == WAIT_TIMEOUT ? RunOutcome::TimedOut : RunOutcome::Finished;
}

}  // namespace platform
