#include "app/CInstallerWindow.h"

#include "app/Deployment.h"
#include "platform/win32/SystemFolder.h"
#include "platform/win32/SystemFunction.h"
#include "toolkit/ScopedGdi.h"

bool isInDragStrip(int32_t x, int32_t y) {
    constexpr UIRect strip = dragStripFrame();
    return y >= strip.y && y < strip.y + strip.height && x < strip.x + strip.width;
}

namespace {

// MDT_EFFECTIVE_DPI, which the XP-level headers do not declare: the DPI the user chose for that display.
constexpr int kEffectiveDpi = 0;

// The window's own DPI (Windows 10 from version 1607); 0 where the system cannot say.
UINT windowDpi(HWND window) {
    using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = platform::systemFunction<GetDpiForWindowFunction>(L"user32.dll", "GetDpiForWindow");
    return getDpiForWindow != nullptr ? getDpiForWindow(window) : 0;
}

// The screen's LOGPIXELSX: the system DPI, the same on every display; 0 where it cannot be had.
UINT systemDpi() {
    ScopedWindowDc screen(nullptr, GetDC(nullptr));
    return screen.get() != nullptr ? static_cast<UINT>(GetDeviceCaps(screen.get(), LOGPIXELSX)) : 0;
}

}  // namespace

UINT monitorDpi(HWND window) {
    using GetDpiForMonitorFunction = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
    const platform::SystemLibrary shcore(L"shcore.dll");
    const auto getDpiForMonitor =
        platform::exportedFunction<GetDpiForMonitorFunction>(shcore.module(), "GetDpiForMonitor");
    UINT x = 0;
    UINT y = 0;
    if (getDpiForMonitor == nullptr ||
        FAILED(getDpiForMonitor(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), kEffectiveDpi, &x, &y))) {
        return 0;
    }
    return x;
}

float displayScale(HWND window) {
    UINT dpi = windowDpi(window);
    if (dpi == 0) dpi = monitorDpi(window);
    if (dpi == 0) dpi = systemDpi();
    return dpi != 0 ? static_cast<float>(dpi) / 96.0f : 1.0f;
}

UIPoint centredPosition(int32_t screenWidth, int32_t screenHeight, float scale) {
    return UIPoint{(screenWidth - deviceLength(kInstallerWindowWidth, scale)) / 2,
                   (screenHeight - deviceLength(kInstallerWindowHeight, scale)) / 2};
}

LRESULT CInstallerWindow::windowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            if (installerView() == nullptr || !installerView()->installRunning() ||
                !installerView()->endWhenInstallStops()) {
                return UIWindow::windowProc(message, wParam, lParam);
            }
            // The worker's messages still reach the interface through this thread's loop, so the loop runs on.
            ShowWindow(handle(), SW_HIDE);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(installerView() != nullptr ? installerView()->exitCode() : EXIT_INSTALL_USEREXIT);
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
    const UIPoint point = toViewCoordinates(x, y);
    if (isInDragStrip(point.x, point.y)) SendMessageW(handle(), WM_NCLBUTTONDOWN, HTCAPTION, 0);
}

void CInstallerWindow::onTimer(uintptr_t timerId) {
    if (timerId == kProgressRepaintTimer) {
        installerView()->repaintProgress();
    } else if (timerId == kPreparePicturesTimer) {
        if (!installerView()->prepareNextPicture()) KillTimer(handle(), timerId);
    } else if (timerId == kCloseAfterLastPageTimer) {
        KillTimer(handle(), timerId);
        PostQuitMessage(installerView()->exitCode());
    }
}

UIView* CInstallerWindow::createRootView() { return new UIInstallerView(this, parts_); }

bool bringRunningWizardToFront() {
    HWND wizard = FindWindowW(kInstallerWindowClass, kInstallerWindowTitle);
    if (wizard == nullptr) return false;
    if (IsIconic(wizard)) ShowWindow(wizard, SW_RESTORE);
    SetForegroundWindow(wizard);
    return true;
}
