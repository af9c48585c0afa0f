#include "system/ServiceShutdown.h"

InstallResult stopRunningServices(platform::Processes& processes, platform::WindowMessages& windows) {
    // The packaged service first: it is the one whose file the install replaces.
    terminateProcessesByName(processes, windows, L"ZNService2.exe");
    terminateProcessesByName(processes, windows, L"ZNService.exe");
    return RESULT_OK;
}

int terminateProcessesByName(platform::Processes& processes, platform::WindowMessages& windows,
                             const std::wstring& name) {
    const auto ids = processes.snapshot();
    if (!ids) return 0;
    processes.enableDebugPrivilege();
    int result = 0;
    for (const std::uint32_t id : *ids) {
        const auto process = processes.open(id);
        if (!process) continue;
        std::wstring fileName;
        if (!fileNameOfPath(process->imagePath(), fileName) || fileName != name) continue;
        if (!process->terminate(kServiceExitCode)) {
            windows.showMessageBox(fileName, L"hfgh");
            result = kTerminationFailed;
        }
    }
    return result;
}

bool fileNameOfPath(const std::wstring& path, std::wstring& fileName) {
    if (path.empty()) return false;
    const std::size_t separator = path.find_last_of(L"\\/");
    fileName = separator == std::wstring::npos ? path : path.substr(separator + 1);
    return true;
}

void broadcastToImeWindows(platform::WindowMessages& windows, std::uint32_t message) {
    for (const platform::WindowId window : windows.messageOnlyWindows()) {
        if (windows.windowTitle(window) == kImeWindowTitle) windows.sendMessage(window, message);
    }
}

bool notifyImeBeforeInstall(platform::WindowMessages& windows, platform::Threads& threads) {
    return threads.runWithin([&windows] { broadcastToImeWindows(windows, kNoticeBeforeInstall); },
                             kNoticeTimeoutMs);
}

InstallResult notifyImeAfterInstall(platform::WindowMessages& windows, platform::Threads& threads) {
    // The files are in place by now: an instance that does not answer only misses the notice.
    threads.runWithin([&windows] { broadcastToImeWindows(windows, kNoticeAfterInstall); }, kNoticeTimeoutMs);
    return RESULT_OK;
}
