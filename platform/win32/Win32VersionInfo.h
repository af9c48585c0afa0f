#pragma once
#include "platform/VersionInfo.h"
#include "platform/win32/SystemFolder.h"

namespace platform {

// Version resources through the system folder's version.dll, loaded by its full path: it is not one of the
// known DLLs of every Windows, so an import of it could be answered by a file beside the installer.
class Win32VersionInfo : public VersionInfo {
public:
    Win32VersionInfo();
    VersionLookup productVersion(const std::wstring& path, ModuleVersion& version) override;

private:
    using GetFileVersionInfoSizeWFunction = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using GetFileVersionInfoWFunction = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using VerQueryValueWFunction = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    SystemLibrary library_;
    GetFileVersionInfoSizeWFunction getFileVersionInfoSize_;
    GetFileVersionInfoWFunction getFileVersionInfo_;
    VerQueryValueWFunction verQueryValue_;
};

}  // namespace platform
