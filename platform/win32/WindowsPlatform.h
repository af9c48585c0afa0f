// The installer's real system: one object of each Windows implementation, made together and handed out
// as one bundle.
#pragma once

#include "platform/Services.h"
#include "platform/win32/Win32Broadcast.h"
#include "platform/win32/Win32DirectoryWalk.h"
#include "platform/win32/Win32Eudc.h"
#include "platform/win32/Win32KeyboardLayouts.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32Threads.h"
#include "platform/win32/Win32VersionInfo.h"
#include "platform/win32/Win32WindowMessages.h"
#include "platform/win32/WindowsSystemFacts.h"

namespace platform {

class WindowsPlatform {
public:
    // module: the program whose image carries the package (the installer's own executable).
    explicit WindowsPlatform(HMODULE module) : facts_(module) {}
    WindowsPlatform(const WindowsPlatform&) = delete;
    WindowsPlatform& operator=(const WindowsPlatform&) = delete;

    const SystemFacts& facts() const { return facts_; }
    // For an install that nobody watches: the system asks nothing of a person (no message box).
    void runUnattended() { windowMessages_.setUnattended(true); }
    Services services() {
        return Services{registry_, keyboardLayouts_, shell_,   eudc_,     broadcast_, processes_,
                        windowMessages_, threads_, directoryWalk_, versions_, facts_, calendar_};
    }

private:
    Win32Registry registry_;
    Win32KeyboardLayouts keyboardLayouts_;
    Win32Shell shell_;
    Win32Eudc eudc_;
    Win32Broadcast broadcast_;
    Win32Processes processes_;
    Win32WindowMessages windowMessages_;
    Win32Threads threads_;
    Win32DirectoryWalk directoryWalk_;
    Win32VersionInfo versions_;
    WindowsSystemFacts facts_;
    LocalCalendar calendar_;
};

}  // namespace platform
