#include "platform/win32/Win32VersionInfo.h"

#include <windows.h>

#include <vector>

#include "platform/win32/SystemFunction.h"

namespace platform {

Win32VersionInfo::Win32VersionInfo()
    : library_(L"version.dll"),
      getFileVersionInfoSize_(
          exportedFunction<GetFileVersionInfoSizeWFunction>(library_.module(), "GetFileVersionInfoSizeW")),
      getFileVersionInfo_(exportedFunction<GetFileVersionInfoWFunction>(library_.module(), "GetFileVersionInfoW")),
      verQueryValue_(exportedFunction<VerQueryValueWFunction>(library_.module(), "VerQueryValueW")) {}

// Without the library no version can be read: the module is then taken as one whose resource cannot be read.
VersionLookup Win32VersionInfo::productVersion(const std::wstring& path, ModuleVersion& version) {
    if (getFileVersionInfoSize_ == nullptr || getFileVersionInfo_ == nullptr || verQueryValue_ == nullptr) {
        return VersionLookup::Unreadable;
    }
    DWORD handle = 0;
    const DWORD size = getFileVersionInfoSize_(path.c_str(), &handle);
    if (size == 0) return VersionLookup::NoResource;
    std::vector<BYTE> block(size);
    if (!getFileVersionInfo_(path.c_str(), 0, size, block.data())) return VersionLookup::Unreadable;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!verQueryValue_(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) || fixed == nullptr ||
        fixedSize < sizeof(VS_FIXEDFILEINFO)) {
        return VersionLookup::Unreadable;
    }
    version = {HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
               HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
    return VersionLookup::Found;
}

}  // namespace platform
