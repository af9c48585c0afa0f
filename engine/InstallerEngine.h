// The engine as the interface sees it: one process-wide object, its callback and the four messages the
// install run sends to the interface.
#pragma once

#include "engine/InstallLog.h"
#include "engine/InstallResult.h"
#include "engine/InstallerContext.h"

#include <string>

namespace platform {
class SystemFacts;
}

// Engine messages, each sent synchronously so that the worker waits until the callback has returned.
constexpr int WM_INSTALL_BEGIN = 1024;     // wParam 0, lParam 0: before the first step that changes the system
constexpr int WM_INSTALL_SUCCESS = 1025;   // wParam 0, lParam 0: after progress 100
constexpr int WM_INSTALL_FAILURE = 1026;   // wParam: the InstallResult, sign-extended; lParam 0
constexpr int WM_INSTALL_PROGRESS = 1027;  // wParam: the new percentage, 1 to 100; lParam 0

// Called on the interface thread with (message, wParam, lParam).
using EngineCallback = void (*)(int message, int wParam, int lParam);

class InstallerEngine {
public:
    InstallerEngine() = default;
    InstallerEngine(const InstallerEngine&) = delete;
    InstallerEngine& operator=(const InstallerEngine&) = delete;

    // Stores the callback and the system facts (which must outlive the engine), detects the system, computes
    // the destination directories and locates the package. Returns the result of locating the package, which
    // is also kept as the context's initResult.
    InstallResult initialize(const platform::SystemFacts& facts, EngineCallback callback);

    // DRIVE followed by "\\Program Files (x86)\\Zelnsoft" on a 64-bit (or other non-x86) system, else by
    // "\\Program Files\\Zelnsoft". Returns 0; ERR_CREATE_DIRECTORY when no system facts are known yet.
    InstallResult defaultInstallDirectory(std::wstring& directory) const;

    // The trailer's product version; true.
    bool productVersion(PackageVersion& version) const;

    InstallerContext& context() { return context_; }
    const InstallerContext& context() const { return context_; }
    EngineCallback callback() const { return callback_; }
    InstallLog& log() { return log_; }

private:
    InstallerContext context_;
    EngineCallback callback_ = nullptr;
    const platform::SystemFacts* facts_ = nullptr;
    InstallLog log_;
};
