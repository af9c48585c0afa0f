// The installer's entry: the command line, one install per machine, then the wizard at the display's scale (or,
// for deployments, the unattended install) and the exit code that tells the outcome.
#include <windows.h>

#include "app/CInstallerWindow.h"
#include "app/Deployment.h"
#include "app/MessageLoop.h"
#include "app/QuietInstall.h"
#include "engine/InstallerEngine.h"
#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemFolder.h"
#include "platform/win32/WindowsPlatform.h"
#include "system/InstallSystemSteps.h"

namespace {

// Held for the life of the process: a second installer started meanwhile, in any session, finds it taken.
constexpr wchar_t kInstallLockName[] = L"Global\\RUDERADOD_INSTALL{28b83e81-2488-47a2-a12d-95bcd38b237e}";

// True when this process now holds the machine's install lock. A lock that exists already, or that another
// user's installer made and this one may not open, belongs to another installer.
bool takeInstallLock(platform::ScopedHandle& lock) {
    lock.reset(CreateMutexW(nullptr, TRUE, kInstallLockName));
    return lock.valid() && GetLastError() != ERROR_ALREADY_EXISTS;
}

void showMessage(const wchar_t* text, UINT icon) { MessageBoxW(nullptr, text, kInstallerWindowTitle, MB_OK | icon); }

// The deployment's log file by its full path, started before anything is installed, so that a file that cannot
// be written is refused first. False when it cannot be.
bool startDeploymentLog(const std::wstring& file, InstallLog& log) {
    wchar_t full[MAX_PATH] = {};
    const DWORD length = GetFullPathNameW(file.c_str(), MAX_PATH, full, nullptr);
    return length != 0 && length < MAX_PATH && log.startDeploymentLog(std::wstring(full, length));
}

int runWizard(HINSTANCE instance, const InstallerParts& parts, bool passive) {
    // The window and its views live until the process ends: the install worker may still be reporting to them
    // when the wizard is closed during an install.
    CInstallerWindow& window = *new CInstallerWindow(parts);
    // Building the root view during creation initializes the engine: the package is located before the
    // window is ever shown.
    window.createTopLevel(instance, 0, WS_EX_APPWINDOW, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                          kInstallerWindowClass);
    SetWindowTextW(window.handle(), kInstallerWindowTitle);
    if (HICON icon = LoadIconW(instance, MAKEINTRESOURCEW(APPLICATION_ICON))) {
        SendMessageW(window.handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        SendMessageW(window.handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    }
    window.setScale(displayScale(window.handle()));
    const UIPoint position =
        centredPosition(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), window.scale());
    window.setFrame(position.x, position.y, kInstallerWindowWidth, kInstallerWindowHeight);
    window.setHidden(false);
    if (passive && window.installerView() != nullptr) window.installerView()->installWithoutClick();

    return runMessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
    // Before anything loads a DLL on the program's behalf: never from the download folder it runs in.
    platform::restrictLibrarySearchToSystem();

    // An unattended run shows no box, whatever else the command line holds: nobody would press its button.
    InstallerOptions options;
    const bool understood = parseCommandLine(commandLine != nullptr ? commandLine : L"", options);
    if (!understood || options.usage) {
        if (!options.unattended()) showMessage(kUsageText, MB_ICONINFORMATION);
        return understood ? 0 : EXIT_INVALID_COMMAND_LINE;
    }
    platform::ScopedHandle installLock;
    if (!takeInstallLock(installLock)) {
        if (!options.quiet) bringRunningWizardToFront();
        return EXIT_INSTALL_ALREADY_RUNNING;
    }
    // Only now: a second installer must not start anew the log that the running one writes.
    InstallerEngine engine;
    if (!options.logFile.empty() && !startDeploymentLog(options.logFile, engine.log())) {
        if (!options.unattended()) showMessage(kLogFailureText, MB_ICONERROR);
        return EXIT_INSTALL_LOG_FAILURE;
    }

    platform::WindowsPlatform windows(GetModuleHandleW(nullptr));
    if (options.unattended()) windows.runUnattended();
    const platform::Services services = windows.services();
    InstallSystemSteps steps(services);
    const InstallerParts parts{engine, windows.facts(), services.directoryWalk, steps};
    const int exitCode = options.quiet ? runQuietInstall(parts) : runWizard(instance, parts, options.passive);
    recordOutcome(engine, exitCode);
    // The install worker may still be running and using the engine and the system steps: the process ends
    // here, the worker with it, without tearing down anything it might touch.
    ExitProcess(static_cast<UINT>(exitCode));
}
