#pragma once
// Running processes as the service shutdown sees them: a snapshot of process ids, each process opened
// with full access to name its executable image and to end it.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One process opened for naming and termination; closed when destroyed.
class RunningProcess {
public:
    virtual ~RunningProcess() = default;
    // Full path of the process's main executable module; empty when it cannot be named. (Windows XP names an
    // image on a volume that no drive letter maps only by its device path, "\\Device\\...".)
    virtual std::wstring imagePath() = 0;
    // Asks the system to end the process with the given exit code; does not wait for it to end.
    virtual bool terminate(std::uint32_t exitCode) = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // Ids of the processes running now, in the system's order; nothing when no snapshot can be taken.
    virtual std::optional<std::vector<std::uint32_t>> snapshot() = 0;
    // Enables the debug privilege on this process's token so that services of other users can be opened.
    // Every failure is ignored: without it, such processes are merely not opened.
    virtual void enableDebugPrivilege() = 0;
    // The process opened with full access, or null when it cannot be opened.
    virtual std::unique_ptr<RunningProcess> open(std::uint32_t processId) = 0;
};

}  // namespace platform
