// What the installer asks Windows about the machine it runs on. One implementation asks Windows; the given
// facts (GivenSystemFacts.h) answer from fixed values so that other machines can be reasoned about anywhere.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The fields of the Windows version record the installer reads.
struct VersionRecord {
    std::uint32_t majorVersion = 0;
    std::uint32_t minorVersion = 0;
    // 1: workstation; 2: domain controller; 3: server.
    std::uint8_t productType = 0;
};

constexpr std::uint8_t PRODUCT_WORKSTATION = 1;

// Native processor architectures as Windows numbers them.
constexpr std::uint16_t PROCESSOR_ARCH_INTEL = 0;
constexpr std::uint16_t PROCESSOR_ARCH_ARM = 5;
constexpr std::uint16_t PROCESSOR_ARCH_IA64 = 6;
constexpr std::uint16_t PROCESSOR_ARCH_AMD64 = 9;

class SystemFacts {
public:
    virtual ~SystemFacts() = default;

    // The version record; false when the query fails.
    virtual bool versionRecord(VersionRecord& record) const = 0;
    // The native processor architecture (also for a 32-bit process on 64-bit Windows).
    virtual std::uint16_t nativeProcessorArchitecture() const = 0;
    // Nonzero on Windows Server 2003 R2.
    virtual int serverR2Metric() const = 0;
    // The Windows directory of this session, e.g. C:\Windows.
    virtual std::wstring windowsDirectory() const = 0;
    // The system-wide Windows directory, e.g. C:\Windows.
    virtual std::wstring systemWindowsDirectory() const = 0;
    // Where the 32-bit system directory really lies when this is a 32-bit process on 64-bit Windows (e.g.
    // C:\Windows\SysWOW64), which sees it as System32; empty for any other process.
    virtual std::wstring wow64SystemDirectory() const = 0;
    // The user's roaming application-data folder, not created when missing; false when it cannot be had.
    virtual bool roamingAppDataFolder(std::wstring& folder) const = 0;
    // Full path of the running executable.
    virtual std::wstring modulePath() const = 0;
};

}  // namespace platform
