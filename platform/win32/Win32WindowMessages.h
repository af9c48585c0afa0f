#pragma once
#include "platform/WindowMessages.h"

namespace platform {

class Win32WindowMessages : public WindowMessages {
public:
    std::vector<WindowId> messageOnlyWindows() override;
    std::wstring windowTitle(WindowId window) override;
    void sendMessage(WindowId window, std::uint32_t message) override;
    void showMessageBox(const std::wstring& text, const std::wstring& caption) override;
};

}  // namespace platform
