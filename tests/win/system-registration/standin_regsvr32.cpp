// Stands in for the system's regsvr32 in the Wine tests, put ahead of it on the search path. It appends its
// parameters exactly as given and the folder it was started in to the file that ZELN_REGSVR32_RECORD names
// ("parameters:..." and "directory:..." lines), then does what Windows' regsvr32
// does with "/s- [/u] module": calls the module's DllRegisterServer (DllUnregisterServer with "/u"). It
// lingers a moment before it writes "done", so that a caller that did not wait would find no "done". When
// ZELN_REGSVR32_HOLD names a file, it first waits (at most two minutes) until that file exists: a test holds
// an install in its registration so.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

void append(const std::wstring& line) {
    const wchar_t* record = _wgetenv(L"ZELN_REGSVR32_RECORD");
    if (record == nullptr) {
        return;
    }
    if (FILE* file = _wfopen(record, L"ab")) {
        const std::wstring text = line + L"\n";
        std::fwrite(text.data(), sizeof(wchar_t), text.size(), file);
        std::fclose(file);
    }
}

// The command line after the program's own name.
std::wstring parameters() {
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line != L'\0' && *line != L' ') {
            ++line;
        }
    }
    while (*line == L' ') {
        ++line;
    }
    return line;
}

void waitForRelease() {
    const wchar_t* release = _wgetenv(L"ZELN_REGSVR32_HOLD");
    for (int tenths = 0; release != nullptr && tenths < 1200; ++tenths) {
        if (GetFileAttributesW(release) != INVALID_FILE_ATTRIBUTES) return;
        Sleep(100);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const std::wstring given = parameters();
    append(L"parameters:" + given);
    waitForRelease();
    wchar_t directory[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, directory);
    append(L"directory:" + std::wstring(directory, length < MAX_PATH ? length : 0));
    const std::size_t last = given.rfind(L' ');
    const std::wstring module = last == std::wstring::npos ? given : given.substr(last + 1);
    const bool unregister = given.find(L" /u ") != std::wstring::npos;
    int status = 3;
    if (HMODULE library = LoadLibraryW(module.c_str())) {
        using Entry = HRESULT(WINAPI*)();
        const auto entry = reinterpret_cast<Entry>(reinterpret_cast<void (*)()>(
            GetProcAddress(library, unregister ? "DllUnregisterServer" : "DllRegisterServer")));
        status = entry != nullptr && SUCCEEDED(entry()) ? 0 : 4;
        FreeLibrary(library);
    }
    Sleep(1500);
    append(L"done:" + std::to_wstring(status));
    return status;
}
