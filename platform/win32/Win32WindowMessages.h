#pragma once
#include "platform/WindowMessages.h"

namespace platform {

class Win32WindowMessages : public WindowMessages {
public:
    std::vector<WindowId> messageOnlyWindows() override;
    std::wstring windowTitle(WindowId window) override;
    void sendMessage(WindowId window, std::uint32_t message) override;
    std::optional<std::uint32_t> sendMessageWithin(WindowId window, std::uint32_t message,
                                                   std::uint32_t timeoutMs) override;
    // Shows nothing while the install runs unattended: no one would be there to close the box, and the
    // install would wait for it for ever.
    void showMessageBox(const std::wstring& text, const std::wstring& caption) override;
    void setUnattended(bool unattended) { unattended_ = unattended; }

private:
    bool unattended_ = false;
};

}  // namespace platform
