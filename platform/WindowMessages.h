#pragma once
// Windows of other processes addressed by title, and the modal message box.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// A window handle as a plain number; meaningful only to the implementation that produced it.
using WindowId = std::uintptr_t;

class WindowMessages {
public:
    virtual ~WindowMessages() = default;
    // Every message-only window, in the system's order; ordinary top-level windows are not included.
    virtual std::vector<WindowId> messageOnlyWindows() = 0;
    // The window's title, at most 259 characters; empty when it has none or is gone.
    virtual std::wstring windowTitle(WindowId window) = 0;
    // Sends the message with both parameters 0 and returns when the window's thread has handled it.
    virtual void sendMessage(WindowId window, std::uint32_t message) = 0;
    // Sends it the same way but waits at most timeoutMs: what is left of timeoutMs once the window's thread
    // has handled it (or the window is gone), nothing when the time ran out first. The window still gets the
    // message then, when its thread comes to it.
    virtual std::optional<std::uint32_t> sendMessageWithin(WindowId window, std::uint32_t message,
                                                           std::uint32_t timeoutMs) = 0;
    // A modal message box without owner and with one OK button; returns when the user has closed it.
    virtual void showMessageBox(const std::wstring& text, const std::wstring& caption) = 0;
};

}  // namespace platform
