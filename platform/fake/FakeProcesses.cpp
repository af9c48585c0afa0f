#include "platform/fake/FakeProcesses.h"

namespace platform {
namespace {

class FakeRunningProcess : public RunningProcess {
public:
    explicit FakeRunningProcess(FakeProcess& process) : process_(process) {}

    std::wstring imagePath() override { return process_.imagePath; }

    bool terminate(std::uint32_t exitCode) override {
        if (!process_.terminates) return false;
        process_.terminated = true;
        process_.exitCode = exitCode;
        return true;
    }

private:
    FakeProcess& process_;
};

}  // namespace

std::optional<std::vector<std::uint32_t>> FakeProcesses::snapshot() {
    if (snapshotFails) return std::nullopt;
    std::vector<std::uint32_t> ids;
    for (const auto& [id, process] : processes) {
        if (!process.terminated) ids.push_back(id);
    }
    return ids;
}

void FakeProcesses::enableDebugPrivilege() { ++debugPrivilegeRequests; }

std::unique_ptr<RunningProcess> FakeProcesses::open(std::uint32_t processId) {
    const auto found = processes.find(processId);
    if (found == processes.end() || !found->second.opens || found->second.terminated) return nullptr;
    return std::make_unique<FakeRunningProcess>(found->second);
}

std::uint32_t FakeProcesses::start(const std::wstring& imagePath) {
    const std::uint32_t id = processes.empty() ? 4 : processes.rbegin()->first + 4;
    processes[id].imagePath = imagePath;
    return id;
}

}  // namespace platform
