#pragma once
// The input method's running parts around an install: its service processes are ended by executable
// name before files are replaced, and its running instances get a notice before (3002) and after (3001)
// the install through their message-only windows.
#include "engine/InstallResult.h"
#include "platform/Processes.h"
#include "platform/Threads.h"
#include "platform/WindowMessages.h"

#include <cstdint>
#include <string>

// Title of every running input-method instance's message window, compared exactly. The installer's own
// message window differs in the second group ("...-2477-...") and so never gets these notices.
inline constexpr wchar_t kImeWindowTitle[] = L"RUDERADOD_MSGWND{28b83e81-2466-47a2-a12d-95bcd38b237e}";
inline constexpr std::uint32_t kNoticeBeforeInstall = 3002;
inline constexpr std::uint32_t kNoticeAfterInstall = 3001;
inline constexpr std::uint32_t kNoticeTimeoutMs = 30000;
inline constexpr std::uint32_t kServiceExitCode = 1000;
inline constexpr int kTerminationFailed = 100;

// Ends "ZNService2.exe", then "ZNService.exe". Always 0.
InstallResult stopRunningServices(platform::Processes& processes, platform::WindowMessages& windows);

// Ends every process whose executable file name equals name exactly (case-sensitive). 0, or
// kTerminationFailed when a match could not be ended; each such failure is shown in a message box.
int terminateProcessesByName(platform::Processes& processes, platform::WindowMessages& windows,
                             const std::wstring& name);

// The part of path after its last "\\" or "/" (the whole path when there is neither). False for an empty
// path, and fileName is then left as it was.
bool fileNameOfPath(const std::wstring& path, std::wstring& fileName);

// Sends message to every message-only window titled kImeWindowTitle, one after the other.
void broadcastToImeWindows(platform::WindowMessages& windows, std::uint32_t message);

// Sends 3002 from a thread of its own, or from the calling thread when no thread can be started; false when the
// windows have not all answered within 30000 ms.
bool notifyImeBeforeInstall(platform::WindowMessages& windows, platform::Threads& threads);

// Sends 3001 the same way; a window that does not answer in time is left behind, never fails the install.
InstallResult notifyImeAfterInstall(platform::WindowMessages& windows, platform::Threads& threads);
