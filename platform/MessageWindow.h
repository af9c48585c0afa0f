// A hidden message-only window owned by the thread that creates it. A message sent to it from any thread is
// handed to the owner's handler on the owning thread while the sender waits, so a worker can drive an
// interface that must only be touched by its own thread.
#pragma once

namespace platform {

class MessageWindow {
public:
    using Handler = void (*)(void* owner, int message, int wParam, int lParam);

    // Where the window's messages go: the range it handles and the handler with its owner. The one window of
    // each kind lives for the whole process, so its route is kept process-wide.
    struct Route {
        int firstMessage = 0;
        int lastMessage = -1;
        Handler handler = nullptr;
        void* owner = nullptr;

        // Hands a message in range to the handler; false for any other.
        bool deliver(int message, int wParam, int lParam) const {
            if (handler == nullptr || message < firstMessage || message > lastMessage) {
                return false;
            }
            handler(owner, message, wParam, lParam);
            return true;
        }
    };

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
