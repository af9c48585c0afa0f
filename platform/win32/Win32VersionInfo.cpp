#include "platform/win32/Win32VersionInfo.h"

#include <windows.h>

#include <vector>

namespace platform {

VersionLookup Win32VersionInfo::productVersion(const std::wstring& path, ModuleVersion& version) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    if (size == 0) return VersionLookup::NoResource;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return VersionLookup::Unreadable;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return VersionLookup::Unreadable;
    }
    version = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
               HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
    return VersionLookup::Found;
}

}  // namespace platform
