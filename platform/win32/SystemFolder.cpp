#include "platform/win32/SystemFolder.h"

#include <memory>
#include <vector>

#include "platform/win32/ScopedHandle.h"
#include "platform/win32/SystemFunction.h"

namespace platform {

namespace {

constexpr UINT kPathBuffer = MAX_PATH;
// LOAD_LIBRARY_SEARCH_SYSTEM32, which the XP-level headers do not declare.
constexpr DWORD kSearchSystemFolderOnly = 0x00000800;

// DLLs that are not known DLLs on every Windows and that the system loads by name on a GUI program's behalf,
// some of them through delay-loads of system DLLs (GDI+ loads the image codecs, which load the property system).
constexpr const wchar_t* kLibrariesLoadedOnOurBehalf[] = {
    L"windowscodecs.dll", L"propsys.dll", L"uxtheme.dll", L"dwmapi.dll",   L"version.dll",  L"cryptbase.dll",
    L"cryptsp.dll",       L"userenv.dll", L"profapi.dll", L"apphelp.dll",  L"setupapi.dll", L"oleacc.dll",
    L"clbcatq.dll",       L"winmm.dll",   L"sspicli.dll", L"secur32.dll",  L"ntmarta.dll",  L"shfolder.dll",
    L"msctf.dll",         L"imm32.dll",   L"shlwapi.dll", L"comctl32.dll", L"psapi.dll",
};

// folder\name; empty when the folder could not be had or the whole path would not fit a 260-character buffer.
std::wstring pathInFolder(std::wstring folder, const wchar_t* name) {
    if (folder.empty()) return {};
    if (folder.back() != L'\\') folder += L'\\';
    folder += name;
    return folder.size() < kPathBuffer ? folder : std::wstring();
}

}  // namespace

void restrictLibrarySearchToSystem() {
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    using SetDllDirectoryWFunction = BOOL(WINAPI*)(LPCWSTR);
    const auto setDefaultDllDirectories =
        systemFunction<SetDefaultDllDirectoriesFunction>(L"kernel32.dll", "SetDefaultDllDirectories");
    if (setDefaultDllDirectories == nullptr || !setDefaultDllDirectories(kSearchSystemFolderOnly)) {
        // An empty string takes the current directory out of the search order.
        const auto setDllDirectory = systemFunction<SetDllDirectoryWFunction>(L"kernel32.dll", "SetDllDirectoryW");
        if (setDllDirectory != nullptr) setDllDirectory(L"");
    }
    // Also where the search is restricted: the same protection on every Windows, by the same code.
    static std::vector<std::unique_ptr<SystemLibrary>> preloaded;
    for (const wchar_t* name : kLibrariesLoadedOnOurBehalf) preloaded.push_back(std::make_unique<SystemLibrary>(name));
}

std::wstring pathFromBuffer(const wchar_t* buffer, UINT length) {
    return length > 0 && length < kPathBuffer ? std::wstring(buffer, length) : std::wstring();
}

std::wstring systemWindowsFolder() {
    wchar_t folder[kPathBuffer] = {};
    return pathFromBuffer(folder, GetSystemWindowsDirectoryW(folder, kPathBuffer));
}

std::wstring systemFolderPath(const wchar_t* name) {
    wchar_t folder[kPathBuffer] = {};
    return pathInFolder(pathFromBuffer(folder, GetSystemDirectoryW(folder, kPathBuffer)), name);
}

std::wstring windowsFolderPath(const wchar_t* name) { return pathInFolder(systemWindowsFolder(), name); }

// With its full path and an altered search path, the DLL's own dependencies are looked for in its folder too.
SystemLibrary::SystemLibrary(const wchar_t* name) {
    const std::wstring path = systemFolderPath(name);
    if (!path.empty()) module_ = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

SystemLibrary::~SystemLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
}

bool startProgram(const std::wstring& program, const std::wstring& arguments, int show) {
    if (program.empty()) return false;
    // The command line's first word is the program itself, quoted, as programs expect to find it. The program
    // starts in its own folder: the installer's current directory is the download folder.
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    const std::wstring folder = program.substr(0, program.rfind(L'\\'));
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &started)) {
        return false;
    }
    const ScopedHandle process(started.hProcess);
    const ScopedHandle thread(started.hThread);
    return true;
}

}  // namespace platform
