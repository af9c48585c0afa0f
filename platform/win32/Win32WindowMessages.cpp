#include "platform/win32/Win32WindowMessages.h"

#include <windows.h>

namespace platform {
namespace {

HWND toHandle(WindowId window) { return reinterpret_cast<HWND>(window); }

}  // namespace

std::vector<WindowId> Win32WindowMessages::messageOnlyWindows() {
    // Message-only windows are the children of HWND_MESSAGE; a plain FindWindowW would also match them
    // on some systems but would mix in ordinary top-level windows.
    std::vector<WindowId> windows;
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
        windows.push_back(reinterpret_cast<WindowId>(window));
    }
    return windows;
}

std::wstring Win32WindowMessages::windowTitle(WindowId window) {
    wchar_t title[MAX_PATH] = {};
    const int length = GetWindowTextW(toHandle(window), title, MAX_PATH);
    return std::wstring(title, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void Win32WindowMessages::sendMessage(WindowId window, std::uint32_t message) {
    SendMessageW(toHandle(window), message, 0, 0);
}

std::optional<std::uint32_t> Win32WindowMessages::sendMessageWithin(WindowId window, std::uint32_t message,
                                                                    std::uint32_t timeoutMs) {
    const DWORD start = GetTickCount();
    DWORD_PTR reply = 0;
    // SMTO_NORMAL: while it waits, the calling thread handles messages sent to its own windows, as SendMessageW's
    // caller does.
    if (SendMessageTimeoutW(toHandle(window), message, 0, 0, SMTO_NORMAL, timeoutMs, &reply) == 0 &&
        GetLastError() == ERROR_TIMEOUT) {
        return std::nullopt;
    }
    const DWORD spent = GetTickCount() - start;
    return spent < timeoutMs ? timeoutMs - spent : 0;
}

void Win32WindowMessages::showMessageBox(const std::wstring& text, const std::wstring& caption) {
    if (!unattended_) MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK);
}

}  // namespace platform
