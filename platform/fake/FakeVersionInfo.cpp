#include "platform/fake/FakeVersionInfo.h"

namespace platform {

VersionLookup FakeVersionInfo::productVersion(const std::wstring& path, ModuleVersion& version) {
    if (unreadable.count(path) != 0) return VersionLookup::Unreadable;
    const auto found = versions.find(path);
    if (found == versions.end()) return VersionLookup::NoResource;
    version = found->second;
    return VersionLookup::Found;
}

}  // namespace platform
