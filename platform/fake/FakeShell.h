// The shell for native tests: records every execution instead of running it, and reports a given system
// directory (or none).
#pragma once

#include "platform/Shell.h"

#include <vector>

namespace platform {

class FakeShell final : public Shell {
public:
    bool executeAndWait(const ShellExecution& execution) override {
        executions.push_back(execution);
        return launches;
    }
    bool systemDirectory(std::uint32_t bufferChars, std::wstring& directory) override {
        systemDirectoryBuffers.push_back(bufferChars);
        if (!hasSystemDirectory || systemDirectoryPath.size() >= bufferChars) {
            return false;
        }
        directory = systemDirectoryPath;
        return true;
    }

    std::wstring systemDirectoryPath = L"C:\\Windows\\system32";
    bool hasSystemDirectory = true;
    bool launches = true;
    std::vector<ShellExecution> executions;
    std::vector<std::uint32_t> systemDirectoryBuffers;
};

}  // namespace platform
