#pragma once
// Version resources held in memory by file path; a path without one has no resource.
#include "platform/VersionInfo.h"

#include <map>
#include <set>

namespace platform {

class FakeVersionInfo : public VersionInfo {
public:
    std::map<std::wstring, ModuleVersion> versions;
    // Files whose resource exists but whose fixed part cannot be read.
    std::set<std::wstring> unreadable;

    VersionLookup productVersion(const std::wstring& path, ModuleVersion& version) override;
};

}  // namespace platform
