#include "platform/MessageWindow.h"

#include <windows.h>

namespace platform {
namespace {

MessageWindow::Route route;

LRESULT CALLBACK messageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (route.deliver(static_cast<int>(message), static_cast<int>(wParam), static_cast<int>(lParam))) {
        return 1;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

bool MessageWindow::create(const wchar_t* classAndTitle, int firstMessage, int lastMessage, Handler handler,
                           void* owner) {
    route = Route{firstMessage, lastMessage, handler, owner};
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = messageWindowProc;
    windowClass.lpszClassName = classAndTitle;
    RegisterClassW(&windowClass);
    window_ = CreateWindowExW(0, classAndTitle, classAndTitle, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    return window_ != nullptr;
}

void MessageWindow::send(int message, int wParam, int lParam) const {
    if (window_) {
        SendMessageW(static_cast<HWND>(window_), static_cast<UINT>(message), static_cast<WPARAM>(wParam),
                     static_cast<LPARAM>(lParam));
    }
}

}  // namespace platform
