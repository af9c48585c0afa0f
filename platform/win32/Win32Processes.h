#pragma once
#include "platform/Processes.h"

namespace platform {

// Processes through the tool-help snapshot and the process-status interface.
class Win32Processes : public Processes {
public:
    std::optional<std::vector<std::uint32_t>> snapshot() override;
    void enableDebugPrivilege() override;
    std::unique_ptr<RunningProcess> open(std::uint32_t processId) override;
};

}  // namespace platform
