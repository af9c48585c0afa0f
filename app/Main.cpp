// The installer's entry: the wizard window, centred, and the message loop until the window goes.
#include <windows.h>

#include "app/CInstallerWindow.h"
#include "engine/InstallerEngine.h"
#include "platform/win32/SystemFolder.h"
#include "platform/win32/WindowsPlatform.h"
#include "system/InstallSystemSteps.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything loads a DLL on the program's behalf: never from the download folder it runs in.
    platform::restrictLibrarySearchToSystem();
    platform::WindowsPlatform windows(GetModuleHandleW(nullptr));
    InstallSystemSteps steps(windows.services());
    InstallerEngine engine;
    CInstallerWindow window(InstallerParts{engine, windows.facts(), steps});

    // Building the root view during creation initializes the engine: the package is located before the
    // window is ever shown.
    window.createTopLevel(instance, 0, WS_EX_APPWINDOW, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                          kInstallerWindowClass);
    SetWindowTextW(window.handle(), kInstallerWindowTitle);
    if (HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(kApplicationIcon))) {
        SendMessageW(window.handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(window.handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    const UIPoint position = centredPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    window.setFrame(position.x, position.y, kInstallerWindowWidth, kInstallerWindowHeight);
    window.setHidden(false);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    // The install worker may still be running and using the engine and the system steps: the process ends
    // here, the worker with it, without tearing down anything it might touch.
    ExitProcess(static_cast<UINT>(message.wParam));
}
