// System facts given as plain values: another machine's answers, for tools and tests that reason about
// Windows editions, architectures and folders without asking the machine they run on.
#pragma once

#include "platform/SystemFacts.h"

#include <cstdint>
#include <string>

namespace platform {

class GivenSystemFacts final : public SystemFacts {
public:
    bool versionKnown = true;
    VersionRecord version;
    std::uint16_t nativeArchitecture = PROCESSOR_ARCH_INTEL;
    int serverR2 = 0;
    std::wstring windowsDir;
    std::wstring systemWindowsDir;
    std::wstring wow64SystemDir;
    bool roamingKnown = true;
    std::wstring roaming;
    std::wstring module;

    bool versionRecord(VersionRecord& record) const override {
        if (versionKnown) {
            record = version;
        }
        return versionKnown;
    }
    std::uint16_t nativeProcessorArchitecture() const override { return nativeArchitecture; }
    int serverR2Metric() const override { return serverR2; }
    std::wstring windowsDirectory() const override { return windowsDir; }
    std::wstring systemWindowsDirectory() const override { return systemWindowsDir; }
    std::wstring wow64SystemDirectory() const override { return wow64SystemDir; }
    bool roamingAppDataFolder(std::wstring& folder) const override {
        if (roamingKnown) {
            folder = roaming;
        }
        return roamingKnown;
    }
    std::wstring modulePath() const override { return module; }
};

}  // namespace platform
