#include "system/ServiceShutdown.h"

#include <functional>
#include <optional>

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

namespace {

// Hands every message-only window titled kImeWindowTitle to send, in the system's order, until send says stop.
void forEachImeWindow(platform::WindowMessages& windows, const std::function<bool(platform::WindowId)>& send) {
    for (const platform::WindowId window : windows.messageOnlyWindows()) {
        if (windows.windowTitle(window) == kImeWindowTitle && !send(window)) return;
    }
}

// The broadcast on the calling thread, each window given what the ones before it left of timeoutMs. False when
// the time ran out; the windows after the one that used it up are not sent the message.
bool broadcastToImeWindowsWithin(platform::WindowMessages& windows, std::uint32_t message, std::uint32_t timeoutMs) {
    std::optional<std::uint32_t> left = timeoutMs;
    forEachImeWindow(windows, [&](platform::WindowId window) {
        left = *left == 0 ? std::nullopt : windows.sendMessageWithin(window, message, *left);
        return left.has_value();
    });
    return left.has_value();
}

// The broadcast from a thread of its own, waited for at most kNoticeTimeoutMs. Where no thread can be started
// (a process short of memory or address space), the calling thread sends it under the same bound rather than
// skip it. False when the windows had not all answered in that time.
bool sendNotice(platform::WindowMessages& windows, platform::Threads& threads, std::uint32_t message) {
    switch (threads.runWithin([&windows, message] { broadcastToImeWindows(windows, message); }, kNoticeTimeoutMs)) {
        case platform::RunOutcome::Finished:
            return true;
        case platform::RunOutcome::TimedOut:
            return false;
        case platform::RunOutcome::NotStarted:
            break;
    }
    return broadcastToImeWindowsWithin(windows, message, kNoticeTimeoutMs);
}

}  // namespace

void broadcastToImeWindows(platform::WindowMessages& windows, std::uint32_t message) {
    forEachImeWindow(windows, [&](platform::WindowId window) {
        windows.sendMessage(window, message);
        return true;
    });
}

bool notifyImeBeforeInstall(platform::WindowMessages& windows, platform::Threads& threads) {
    return sendNotice(windows, threads, kNoticeBeforeInstall);
}

InstallResult notifyImeAfterInstall(platform::WindowMessages& windows, platform::Threads& threads) {
    // The files are in place by now: an instance that does not answer only misses the notice.
    sendNotice(windows, threads, kNoticeAfterInstall);
    return RESULT_OK;
}
