#include "platform/win32/WindowsSystemFacts.h"

#include "platform/win32/SystemFolder.h"
#include "platform/win32/SystemFunction.h"

#include <shlobj.h>

namespace platform {

namespace {

constexpr UINT kPathBuffer = MAX_PATH;

}  // namespace

bool WindowsSystemFacts::versionRecord(VersionRecord& record) const {
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info))) {
        return false;
    }
    record.majorVersion = info.dwMajorVersion;
    record.minorVersion = info.dwMinorVersion;
    record.productType = info.wProductType;
    return true;
}

std::uint16_t WindowsSystemFacts::nativeProcessorArchitecture() const {
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture;
}

int WindowsSystemFacts::serverR2Metric() const {
    return GetSystemMetrics(SM_SERVERR2);
}

std::wstring WindowsSystemFacts::windowsDirectory() const {
    wchar_t buffer[kPathBuffer] = {};
    return pathFromBuffer(buffer, GetWindowsDirectoryW(buffer, kPathBuffer));
}

std::wstring WindowsSystemFacts::systemWindowsDirectory() const { return systemWindowsFolder(); }

std::wstring WindowsSystemFacts::wow64SystemDirectory() const {
    BOOL underWow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &underWow64) || !underWow64) {
        return std::wstring();
    }
    // Missing from the kernel32 of 32-bit Windows XP, which never runs a process under WoW64.
    using GetSystemWow64DirectoryWFunction = UINT(WINAPI*)(LPWSTR, UINT);
    const auto wow64Directory =
        systemFunction<GetSystemWow64DirectoryWFunction>(L"kernel32.dll", "GetSystemWow64DirectoryW");
    if (wow64Directory == nullptr) {
        return std::wstring();
    }
    wchar_t buffer[kPathBuffer] = {};
    return pathFromBuffer(buffer, wow64Directory(buffer, kPathBuffer));
}

bool WindowsSystemFacts::roamingAppDataFolder(std::wstring& folder) const {
    wchar_t buffer[kPathBuffer] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, FALSE)) {
        return false;
    }
    folder = buffer;
    return true;
}

std::wstring WindowsSystemFacts::modulePath() const {
    wchar_t buffer[kPathBuffer] = {};
    return pathFromBuffer(buffer, GetModuleFileNameW(module_, buffer, kPathBuffer));
}

}  // namespace platform
