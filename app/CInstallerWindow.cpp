#include "app/CInstallerWindow.h"

bool isInDragStrip(int32_t x, int32_t y) { return y >= 10 && y <= 39 && x < 639; }

UIPoint centredPosition(int32_t screenWidth, int32_t screenHeight) {
    return UIPoint{(screenWidth - kInstallerWindowWidth) / 2, (screenHeight - kInstallerWindowHeight) / 2};
}

LRESULT CInstallerWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_DESTROY:
            PostQuitMessage(0);
            return 1;
        case WM_SYSCOMMAND: {
            wchar_t trace[64];
            wsprintfW(trace, L"%X\t%X\t%X\n", static_cast<unsigned>(message), static_cast<unsigned>(wParam),
                      static_cast<unsigned>(lParam));
            OutputDebugStringW(trace);
            return UIWindow::windowProc(message, wParam, lParam);
        }
        default:
            return UIWindow::windowProc(message, wParam, lParam);
    }
}

void CInstallerWindow::onLeftButtonDown(uint32_t flags, int32_t x, int32_t y) {
    UIWindow::onLeftButtonDown(flags, x, y);
    // The system takes the press for one on a caption and runs its own move loop until the button is up.
    if (isInDragStrip(x, y)) SendMessageW(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

UIView* CInstallerWindow::createRootView() { return new UIInstallerView(this, parts_); }
