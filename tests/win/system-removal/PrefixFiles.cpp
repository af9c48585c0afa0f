#include "PrefixFiles.h"

#include <windows.h>

namespace prefixfiles {
namespace {

bool makeParent(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos || makeFolders(path.substr(0, separator));
}

}  // namespace

std::wstring windowsDirectory() {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetWindowsDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, length);
}

bool makeFolders(const std::wstring& folder) {
    if (exists(folder)) return true;
    if (!makeParent(folder)) return false;
    return CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool writeFile(const std::wstring& path, const std::string& text) {
    if (!makeParent(path)) return false;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL wrote = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return wrote && written == text.size();
}

bool copyFile(const std::wstring& from, const std::wstring& to) {
    return makeParent(to) && CopyFileW(from.c_str(), to.c_str(), FALSE);
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace prefixfiles
