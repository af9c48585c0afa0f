#pragma once
#include "platform/Processes.h"

#include <windows.h>

namespace platform {

// The image path of an open process as Windows XP names it, where QueryFullProcessImageNameW is missing: the
// process-status interface's device path ("\\Device\\HarddiskVolume1\\..."), its device replaced by the drive
// letter that maps it; the device path itself where no drive does; empty when the process cannot be named.
std::wstring imagePathByDevice(HANDLE process);

// Processes through the tool-help snapshot and the process-status interface.
class Win32Processes : public Processes {
public:
    std::optional<std::vector<std::uint32_t>> snapshot() override;
    void enableDebugPrivilege() override;
    std::unique_ptr<RunningProcess> open(std::uint32_t processId) override;
};

}  // namespace platform
