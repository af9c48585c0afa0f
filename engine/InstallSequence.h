// The install run: one worker thread takes the system from "input method running" to "new edition installed",
// moving the progress from 1 to 100 and ending with exactly one WM_INSTALL_SUCCESS or WM_INSTALL_FAILURE.
#pragma once

#include "engine/InstallerEngine.h"
#include "engine/SystemSteps.h"
#include "platform/Threads.h"

#include <memory>
#include <string>

// The engine's message window: class and title. The input method's own windows differ in one group of digits.
constexpr wchar_t ENGINE_WINDOW_NAME[] = L"RUDERADOD_MSGWND{28b83e81-2477-47a2-a12d-95bcd38b237e}";

// On the interface thread: fixes the install directory and its "tmp" folder, makes the engine's message window
// when a callback is registered, and starts the worker on runInstall. The caller owns the worker thread and
// must keep its message loop running: every engine message is delivered through it. Null when the install
// did not start: the message window could not be made (no worker is started then) or no thread could be.
std::unique_ptr<platform::Thread> startInstall(InstallerEngine& engine, const std::wstring& installDirectory,
                                               SystemSteps& steps);

// The worker's body: the whole sequence. Returns the outcome it reported (RESULT_OK or the failure code).
InstallResult runInstall(InstallerEngine& engine, SystemSteps& steps);
