#pragma once
// The installer's one top-level window: borderless (its pages draw the frame and the caption), dragged by
// a strip along its top edge, and its destruction ends the message loop. It is 720 x 547 on the logical
// grid, drawn at the display's scale.
#include "app/UIInstallerView.h"
#include "app/WizardLayout.h"
#include "toolkit/UIWindow.h"

constexpr wchar_t kInstallerWindowClass[] = L"CInstallerWindow";
constexpr wchar_t kInstallerWindowTitle[] = L"泽尔恩输入法 安装向导";

class CInstallerWindow : public UIWindow {
public:
    explicit CInstallerWindow(const InstallerParts& parts) : parts_(parts) {}

    // WM_CLOSE (the close button, Alt+F4, the taskbar) during the install hides the window and has the install
    // stop and undo its changes; the message loop ends when it has. Before the install has changed anything
    // the window closes at once. WM_DESTROY ends the message loop with the
    // wizard's exit code (the window is never torn down before the process ends); WM_SYSCOMMAND is traced to
    // the debugger, then handled as usual.
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    // The press reaches the view under the mouse first; a press in the drag strip (on the logical grid)
    // then moves the window.
    void onLeftButtonDown(uint32_t flags, int32_t x, int32_t y) override;
    // The unattended wizard's close timer ends the message loop with the wizard's exit code.
    void onTimer(uintptr_t timerId) override;
    UIView* createRootView() override;
    UIInstallerView* installerView() const { return static_cast<UIInstallerView*>(rootView()); }

private:
    InstallerParts parts_;
};

// The top 30 rows of the panel, up to the minimize button.
bool isInDragStrip(int32_t x, int32_t y);
// The display scale of a window: its dots per inch over 96, from GetDpiForWindow where the system has it
// (Windows 10 from version 1607), else from the monitor the window is on, else from the screen's LOGPIXELSX
// (the system DPI, before Windows 8.1).
float displayScale(HWND window);
// The effective DPI of the monitor the window is on, from shcore.dll's GetDpiForMonitor (Windows 8.1 on);
// 0 where the system has no such call.
UINT monitorDpi(HWND window);
// Where a window of the wizard's size at the display scale stands centred on a screen of the given size in
// device pixels (may be negative).
UIPoint centredPosition(int32_t screenWidth, int32_t screenHeight, float scale);
// Restores and raises the wizard of another installer process, if one shows; false when there is none.
bool bringRunningWizardToFront();
