#pragma once
// Processes held in memory: each can be made unopenable, nameless or unkillable.
#include "platform/Processes.h"

#include <map>

namespace platform {

struct FakeProcess {
    std::wstring imagePath;
    bool opens = true;
    bool terminates = true;
    bool terminated = false;
    std::uint32_t exitCode = 0;
};

class FakeProcesses : public Processes {
public:
    std::map<std::uint32_t, FakeProcess> processes;
    bool snapshotFails = false;
    int debugPrivilegeRequests = 0;

    std::optional<std::vector<std::uint32_t>> snapshot() override;
    void enableDebugPrivilege() override;
    std::unique_ptr<RunningProcess> open(std::uint32_t processId) override;

    // Adds a running process under the next free id and returns that id.
    std::uint32_t start(const std::wstring& imagePath);
};

}  // namespace platform
