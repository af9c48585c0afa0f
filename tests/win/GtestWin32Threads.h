// GoogleTest for the shipped 32-bit build's compiler, whose thread model (win32, so that the product loads on
// Windows XP) has no std::mutex or std::condition_variable. GoogleTest needs them only for the notification
// its own threads start on; this one is an event. Included ahead of every source of the 32-bit tests.
#pragma once

#include <windows.h>

namespace testing {
namespace internal {

class Notification {
public:
    Notification() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Notification() { CloseHandle(event_); }
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { SetEvent(event_); }
    void WaitForNotification() { WaitForSingleObject(event_, INFINITE); }

private:
    HANDLE event_;
};

}  // namespace internal
}  // namespace testing
