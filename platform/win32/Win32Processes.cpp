#include "platform/win32/Win32Processes.h"

#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemFolder.h"
#include "platform/win32/SystemFunction.h"

#include <windows.h>
#include <tlhelp32.h>

namespace platform {
namespace {

// The process-status interface, from the system folder's psapi.dll loaded by its full path: it is not one of
// the known DLLs of every Windows, so an import of it could be answered by a file beside the installer. Loaded
// once, on the first use, and kept until the process ends.
class ProcessStatus {
    // First, so that the library is loaded before the calls are looked up in it.
    SystemLibrary library_;

public:
    using EnumProcessModulesFunction = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
    using GetModuleFileNameExWFunction = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
    using GetProcessImageFileNameWFunction = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD);

    static const ProcessStatus& calls() {
        static const ProcessStatus loaded;
        return loaded;
    }

    const EnumProcessModulesFunction enumProcessModules;
    const GetModuleFileNameExWFunction getModuleFileNameEx;
    const GetProcessImageFileNameWFunction getProcessImageFileName;

private:
    ProcessStatus()
        : library_(L"psapi.dll"),
          enumProcessModules(exportedFunction<EnumProcessModulesFunction>(library_.module(), "EnumProcessModules")),
          getModuleFileNameEx(
              exportedFunction<GetModuleFileNameExWFunction>(library_.module(), "GetModuleFileNameExW")),
          getProcessImageFileName(
              exportedFunction<GetProcessImageFileNameWFunction>(library_.module(), "GetProcessImageFileNameW")) {}
};

// A device path with its device replaced by the drive letter that maps it ("C:\\..."); the device path itself
// where no drive does.
std::wstring withDriveLetter(const std::wstring& devicePath) {
    wchar_t drives[4 * 26 + 1] = {};
    const DWORD length = GetLogicalDriveStringsW(sizeof drives / sizeof drives[0], drives);
    if (length == 0 || length >= sizeof drives / sizeof drives[0]) return devicePath;
    for (const wchar_t* drive = drives; *drive != L'\0'; drive += wcslen(drive) + 1) {
        const std::wstring letter(drive, 2);  // "C:"
        wchar_t device[MAX_PATH] = {};
        if (QueryDosDeviceW(letter.c_str(), device, MAX_PATH) == 0) continue;
        const std::wstring prefix(device);
        if (devicePath.size() > prefix.size() && devicePath.compare(0, prefix.size(), prefix) == 0 &&
            devicePath[prefix.size()] == L'\\') {
            return letter + devicePath.substr(prefix.size());
        }
    }
    return devicePath;
}

class Win32RunningProcess : public RunningProcess {
public:
    explicit Win32RunningProcess(HANDLE handle) : handle_(handle) {}

    std::wstring imagePath() override {
        std::wstring path = mainModulePath();
        return path.empty() ? imageFileName() : path;
    }

    bool terminate(std::uint32_t exitCode) override {
        return TerminateProcess(handle_.get(), exitCode) != FALSE;
    }

private:
    // The first module that EnumProcessModules reports is the process's executable.
    std::wstring mainModulePath() {
        const ProcessStatus& status = ProcessStatus::calls();
        if (status.enumProcessModules == nullptr || status.getModuleFileNameEx == nullptr) return {};
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (!status.enumProcessModules(handle_.get(), &module, sizeof module, &needed) || module == nullptr) return {};
        wchar_t path[MAX_PATH] = {};
        const DWORD length = status.getModuleFileNameEx(handle_.get(), module, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return {};
        return std::wstring(path, length);
    }

    // A 32-bit process cannot list the modules of a 64-bit one, so the installer, which is 32-bit, would
    // never find a 64-bit service that way; the image name is asked for directly instead.
    std::wstring imageFileName() {
        using QueryFullProcessImageNameWFunction = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
        // Windows Vista and later: the image's path as a drive path.
        const auto queryFullProcessImageName =
            systemFunction<QueryFullProcessImageNameWFunction>(L"kernel32.dll", "QueryFullProcessImageNameW");
        if (queryFullProcessImageName == nullptr) return imagePathByDevice(handle_.get());
        wchar_t path[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (!queryFullProcessImageName(handle_.get(), 0, path, &length) || length == 0 || length >= MAX_PATH) {
            return {};
        }
        return std::wstring(path, length);
    }

    ScopedHandle handle_;
};

}  // namespace

std::wstring imagePathByDevice(HANDLE process) {
    const ProcessStatus& status = ProcessStatus::calls();
    if (status.getProcessImageFileName == nullptr) return {};
    wchar_t path[MAX_PATH] = {};
    const DWORD length = status.getProcessImageFileName(process, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return withDriveLetter(std::wstring(path, length));
}

std::optional<std::vector<std::uint32_t>> Win32Processes::snapshot() {
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) return std::nullopt;
    std::vector<std::uint32_t> ids;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        ids.push_back(entry.th32ProcessID);
    }
    return ids;
}

void Win32Processes::enableDebugPrivilege() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return;
    ScopedHandle ownedToken(token);
    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueW(nullptr, L"SeDebugPrivilege", &privileges.Privileges[0].Luid)) return;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    AdjustTokenPrivileges(ownedToken.get(), FALSE, &privileges, sizeof privileges, nullptr, nullptr);
}

std::unique_ptr<RunningProcess> Win32Processes::open(std::uint32_t processId) {
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (process == nullptr) return nullptr;
    return std::make_unique<Win32RunningProcess>(process);
}

}  // namespace platform
