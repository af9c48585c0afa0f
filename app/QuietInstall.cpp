#include "app/QuietInstall.h"

#include <windows.h>

#include <string>

#include "app/Deployment.h"
#include "app/MessageLoop.h"
#include "engine/InstallSequence.h"
#include "engine/InstallerEngine.h"

namespace {

// The engine's callback, on this thread: the outcome ends the message loop. Progress has no one to show it to.
void onQuietEngineMessage(int message, int wParam, int) {
    if (message == WM_INSTALL_SUCCESS) PostQuitMessage(wParam == RESTART_COMPLETES ? EXIT_SUCCESS_RESTART_REQUIRED : 0);
    if (message == WM_INSTALL_FAILURE) PostQuitMessage(wParam);
}

}  // namespace

int runQuietInstall(const InstallerParts& parts) {
    parts.engine.initialize(parts.facts, parts.files, &onQuietEngineMessage);
    std::wstring directory;
    parts.engine.defaultInstallDirectory(directory);
    // The worker ends by itself after its last notification; the process ends with it.
    const auto worker = startInstall(parts.engine, directory, parts.steps);
    if (!worker) return EXIT_INSTALL_FAILURE;
    return runMessageLoop();
}
