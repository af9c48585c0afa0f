#pragma once
#include "platform/VersionInfo.h"

namespace platform {

class Win32VersionInfo : public VersionInfo {
public:
    VersionLookup productVersion(const std::wstring& path, ModuleVersion& version) override;
};

}  // namespace platform
