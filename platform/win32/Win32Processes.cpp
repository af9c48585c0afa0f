#include "platform/win32/Win32Processes.h"

#include "platform/win32/ScopedHandle.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

namespace platform {
namespace {

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
        HMODULE module = nullptr;
        DWORD needed = 0;
        if (!EnumProcessModules(handle_.get(), &module, sizeof module, &needed) || module == nullptr) return {};
        wchar_t path[MAX_PATH] = {};
        const DWORD length = GetModuleFileNameExW(handle_.get(), module, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return {};
        return std::wstring(path, length);
    }

    // A 32-bit process cannot list the modules of a 64-bit one, so the installer, which is 32-bit, would
    // never find a 64-bit service that way; the image name is asked for directly instead.
    std::wstring imageFileName() {
        wchar_t path[MAX_PATH] = {};
        DWORD length = MAX_PATH;
        if (!QueryFullProcessImageNameW(handle_.get(), 0, path, &length) || length == 0 || length >= MAX_PATH) {
            return {};
        }
        return std::wstring(path, length);
    }

    ScopedHandle handle_;
};

}  // namespace

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
