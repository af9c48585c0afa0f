// A program planted beside the installer under a name the installer or the system might start ("explorer",
// "regsvr32", "cmd"): a command without a path would find the starting program's own folder first. It appends
// its whole command line, exactly as given, as one UTF-8 line to "explorer-commands.txt" beside itself, and
// ends, so that a test sees whether it ever ran.
#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t record[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    std::wstring path(record, length);
    path.replace(path.rfind(L'\\') + 1, std::wstring::npos, L"explorer-commands.txt");

    const wchar_t* line = GetCommandLineW();
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(bytes > 0 ? bytes - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line, -1, text.data(), bytes, nullptr, nullptr);
    text += '\n';

    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return wrote ? 0 : 1;
}
