// The engine as the interface sees it: one process-wide object, its callback and the four messages the
// install run sends to the interface.
#pragma once

#include "engine/InstallLog.h"
#include "engine/InstallResult.h"
#include "engine/InstallerContext.h"

#include <atomic>
#include <string>

namespace platform {
class DirectoryWalk;
class SystemFacts;
}

// Engine messages, each sent synchronously so that the worker waits until the callback has returned.
constexpr int WM_INSTALL_BEGIN = 1024;     // wParam 0, lParam 0: before the first step that changes the system
constexpr int WM_INSTALL_SUCCESS = 1025;   // wParam: INSTALL_COMPLETE or RESTART_COMPLETES; lParam 0: after progress 100
constexpr int WM_INSTALL_FAILURE = 1026;   // wParam: the InstallResult, sign-extended; lParam 0
constexpr int WM_INSTALL_PROGRESS = 1027;  // wParam: the new percentage, 1 to 100; lParam 0

// The two kinds of success WM_INSTALL_SUCCESS tells apart.
constexpr int INSTALL_COMPLETE = 0;    // every file is in place
constexpr int RESTART_COMPLETES = 1;   // files in use wait beside theirs and replace them at the next restart

// Called on the interface thread with (message, wParam, lParam).
using EngineCallback = void (*)(int message, int wParam, int lParam);

class InstallerEngine {
public:
    InstallerEngine() { context_.cancelRequest = &cancelRequested_; }
    InstallerEngine(const InstallerEngine&) = delete;
    InstallerEngine& operator=(const InstallerEngine&) = delete;

    // Stores the callback, the system facts and the files the install changes (both must outlive the engine),
    // detects the system, computes the destination directories and locates the package. Returns the result of
    // locating the package, which is also kept as the context's initResult.
    InstallResult initialize(const platform::SystemFacts& facts, platform::DirectoryWalk& files,
                             EngineCallback callback);

    // DRIVE followed by "\\Program Files (x86)\\Zelnsoft" on a 64-bit (or other non-x86) system, else by
    // "\\Program Files\\Zelnsoft". Returns 0; ERR_CREATE_DIRECTORY when no system facts are known yet.
    InstallResult defaultInstallDirectory(std::wstring& directory) const;

    // The trailer's product version; true.
    bool productVersion(PackageVersion& version) const;

    InstallerContext& context() { return context_; }
    const InstallerContext& context() const { return context_; }
    EngineCallback callback() const { return callback_; }
    // From the interface thread, when the user ends the install: the worker stops at the next file or step,
    // undoes what it changed and reports ERR_CANCELLED. False when the worker has not begun to change the
    // machine, and never will: the program may then end at once.
    bool requestCancel() {
        cancelRequested_ = true;
        return changing_;
    }
    // From the worker, before its first change: false when the user has ended the install already.
    bool beginChanges() {
        changing_ = true;
        return !cancelRequested_;
    }
    InstallLog& log() { return log_; }
    // What initialize was given; null before.
    const platform::SystemFacts* facts() const { return facts_; }
    platform::DirectoryWalk* files() const { return files_; }

private:
    InstallerContext context_;
    EngineCallback callback_ = nullptr;
    const platform::SystemFacts* facts_ = nullptr;
    platform::DirectoryWalk* files_ = nullptr;
    InstallLog log_;
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> changing_{false};
};
