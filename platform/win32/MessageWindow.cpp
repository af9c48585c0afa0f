#include "platform/MessageWindow.h"

#include <windows.h>

namespace platform {
namespace {

// The one window of each kind lives for the whole process, so its routing is kept process-wide.
struct Route {
    int firstMessage = 0;
    int lastMessage = -1;
    MessageWindow::Handler handler = nullptr;
    void* owner = nullptr;
};
Route route;

LRESULT CALLBACK messageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const int number = static_cast<int>(message);
    if (route.handler && number >= route.firstMessage && number <= route.lastMessage) {
        route.handler(route.owner, number, static_cast<int>(wParam), static_cast<int>(lParam));
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
