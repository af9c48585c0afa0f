// Messages to every top-level window (HWND_BROADCAST).
#pragma once

#include <cstdint>

namespace platform {

constexpr std::uint32_t kWmFontChange = 0x001D;        // WM_FONTCHANGE
constexpr std::uint32_t kWmInputLangChange = 0x0051;   // WM_INPUTLANGCHANGE

class Broadcast {
public:
    virtual ~Broadcast() = default;

    // PostMessageW(HWND_BROADCAST, ...): queued for every top-level window, not waited for.
    virtual bool postToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // Sent to every top-level window, each one waited for in turn; a window that is hung or takes longer than
    // timeoutMs is skipped (SendMessageTimeoutW with SMTO_ABORTIFHUNG). False when the broadcast failed.
    virtual bool sendToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                  std::uint32_t timeoutMs) = 0;
};

}  // namespace platform
