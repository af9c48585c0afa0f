#include "platform/win32/Win32Threads.h"

#include "platform/win32/ScopedHandle.h"

#include <windows.h>

#include <memory>

namespace platform {
namespace {

// The thread owns its body, so a run that outlasts the wait still has it.
DWORD WINAPI runBody(LPVOID parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    (*body)();
    return 0;
}

}  // namespace

bool Win32Threads::runWithin(std::function<void()> body, std::uint32_t timeoutMs) {
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    ScopedHandle thread(CreateThread(nullptr, 0, runBody, owned.get(), 0, nullptr));
    if (!thread.valid()) return true;
    owned.release();
    return WaitForSingleObject(thread.get(), timeoutMs) != WAIT_TIMEOUT;
}

}  // namespace platform
