#pragma once
// Message-only windows held in memory, recording what each was sent and which message boxes were shown.
#include "platform/WindowMessages.h"

#include <map>

namespace platform {

struct FakeWindow {
    std::wstring title;
    std::vector<std::uint32_t> received;
    // How long the window takes to answer a message sent with a time limit, and each limit it was given.
    std::uint32_t answerMs = 0;
    std::vector<std::uint32_t> timeLimits;
};

struct FakeMessageBox {
    std::wstring text;
    std::wstring caption;
};

class FakeWindowMessages : public WindowMessages {
public:
    std::map<WindowId, FakeWindow> windows;
    std::vector<FakeMessageBox> messageBoxes;

    std::vector<WindowId> messageOnlyWindows() override;
    std::wstring windowTitle(WindowId window) override;
    void sendMessage(WindowId window, std::uint32_t message) override;
    std::optional<std::uint32_t> sendMessageWithin(WindowId window, std::uint32_t message,
                                                   std::uint32_t timeoutMs) override;
    void showMessageBox(const std::wstring& text, const std::wstring& caption) override;

    WindowId open(const std::wstring& title);
};

}  // namespace platform
