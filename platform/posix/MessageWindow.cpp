// Off Windows there is no interface thread to hand messages to: the handler runs on the sending thread.
#include "platform/MessageWindow.h"

namespace platform {
namespace {

MessageWindow::Route route;
int windowToken = 0;

}  // namespace

bool MessageWindow::create(const wchar_t*, int firstMessage, int lastMessage, Handler handler, void* owner) {
    route = Route{firstMessage, lastMessage, handler, owner};
    window_ = &windowToken;
    return true;
}

void MessageWindow::send(int message, int wParam, int lParam) const {
    if (window_) {
        route.deliver(message, wParam, lParam);
    }
}

}  // namespace platform
