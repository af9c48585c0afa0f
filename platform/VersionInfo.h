#pragma once
// The product version in a module's version resource.
#include <array>
#include <cstdint>
#include <string>

namespace platform {

// Major, minor, build, revision.
using ModuleVersion = std::array<std::uint32_t, 4>;

enum class VersionLookup {
    NoResource,  // the file has no version resource (or cannot be read at all)
    Unreadable,  // it has one, but its fixed part cannot be read
    Found,
};

class VersionInfo {
public:
    virtual ~VersionInfo() = default;
    // Fills version only when the result is Found.
    virtual VersionLookup productVersion(const std::wstring& path, ModuleVersion& version) = 0;
};

}  // namespace platform
