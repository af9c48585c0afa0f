// A DLL planted in a download folder under the name of one that the installer or the system might load
// (version, gdiplus, propsys, ...). Loaded into any process, it appends "<its own path> loaded into <the
// process's image>" as one line to "planted-loads.txt" beside itself, so a test sees that it was loaded. It
// exports nothing: a program that resolved an import against it would not start at all.
#include <windows.h>

#include <string>

namespace {

std::wstring modulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    return std::wstring(path, length < MAX_PATH ? length : 0);
}

void recordLoad(HMODULE self) {
    const std::wstring own = modulePath(self);
    std::wstring record = own.substr(0, own.rfind(L'\\') + 1) + L"planted-loads.txt";
    const std::wstring line = own + L" loaded into " + modulePath(nullptr) + L"\r\n";
    HANDLE file = CreateFileW(record.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) recordLoad(self);
    return TRUE;
}
