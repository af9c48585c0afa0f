#include "platform/win32/Win32Broadcast.h"

#include <windows.h>

namespace platform {

bool Win32Broadcast::postToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
    return PostMessageW(HWND_BROADCAST, message, wParam, lParam) != FALSE;
}

bool Win32Broadcast::sendToAllWindows(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam,
                                      std::uint32_t timeoutMs) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(HWND_BROADCAST, message, wParam, lParam, SMTO_ABORTIFHUNG, timeoutMs, &answer) != 0;
}

}  // namespace platform
