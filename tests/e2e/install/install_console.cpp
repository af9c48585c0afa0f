// The installer without its window: the same engine, sequence and system steps, with each engine message
// printed as a line ("BEGIN", "PROGRESS n", "SUCCESS", "FAILURE code") and the outcome as the exit code.
// Whole installs are driven and checked through it under Wine.
#include "engine/InstallSequence.h"
#include "engine/InstallerEngine.h"
#include "platform/win32/WindowsPlatform.h"
#include "system/InstallSystemSteps.h"

#include <windows.h>

#include <cstdio>

namespace {

int outcome = -1;

void printEngineMessage(int message, int wParam, int) {
    switch (message) {
    case WM_INSTALL_BEGIN:
        std::printf("BEGIN\n");
        break;
    case WM_INSTALL_PROGRESS:
        std::printf("PROGRESS %d\n", wParam);
        break;
    case WM_INSTALL_SUCCESS:
        std::printf("SUCCESS\n");
        outcome = 0;
        PostQuitMessage(0);
        break;
    case WM_INSTALL_FAILURE:
        std::printf("FAILURE %d\n", wParam);
        outcome = wParam;
        PostQuitMessage(0);
        break;
    default:
        break;
    }
    std::fflush(stdout);
}

// Keeps the engine's messages flowing until the worker has reported its outcome. The engine's messages are
// sent, not posted, so GetMessageW handles them inside; the outcome ends the loop by posting a quit.
void pumpUntilOutcome() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        DispatchMessageW(&message);
    }
}

}  // namespace

int main() {
    platform::WindowsPlatform windows(GetModuleHandleW(nullptr));
    const platform::Services services = windows.services();
    InstallSystemSteps steps(services);
    InstallerEngine engine;
    const InstallResult initResult = engine.initialize(windows.facts(), services.directoryWalk, printEngineMessage);
    std::printf("INIT %d\n", initResult);
    std::wstring directory;
    engine.defaultInstallDirectory(directory);
    const auto worker = startInstall(engine, directory, steps);
    if (!worker) return -1;
    pumpUntilOutcome();
    worker->wait();
    return outcome;
}
