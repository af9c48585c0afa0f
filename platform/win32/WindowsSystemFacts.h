// The system facts as Windows answers them for this process.
#pragma once

#include "platform/SystemFacts.h"

#include <windows.h>

namespace platform {

class WindowsSystemFacts final : public SystemFacts {
public:
    // module: the executable whose path modulePath answers.
    explicit WindowsSystemFacts(HMODULE module) : module_(module) {}

    bool versionRecord(VersionRecord& record) const override;
    std::uint16_t nativeProcessorArchitecture() const override;
    int serverR2Metric() const override;
    std::wstring windowsDirectory() const override;
    std::wstring systemWindowsDirectory() const override;
    std::wstring wow64SystemDirectory() const override;
    bool roamingAppDataFolder(std::wstring& folder) const override;
    std::wstring modulePath() const override;

private:
    HMODULE module_;
};

}  // namespace platform
