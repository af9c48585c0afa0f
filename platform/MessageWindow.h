// A hidden message-only window owned by the thread that creates it. A message sent to it from any thread is
// handed to the owner's handler on the owning thread while the sender waits, so a worker can drive an
// interface that must only be touched by its own thread.
#pragma once

namespace platform {

class MessageWindow {
public:
    using Handler = void (*)(void* owner, int message, int wParam, int lParam);

    // Registers the window class and makes the window, both named classAndTitle. Messages firstMessage to
    // lastMessage go to handler (and are answered 1); others get the default handling. False when no window
    // could be made.
    bool create(const wchar_t* classAndTitle, int firstMessage, int lastMessage, Handler handler, void* owner);
    bool exists() const { return window_ != nullptr; }
    // Delivers the message synchronously; nothing when the window does not exist.
    void send(int message, int wParam, int lParam) const;

private:
    void* window_ = nullptr;
};

}  // namespace platform
