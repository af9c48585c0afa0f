#include "platform/win32/Win32DirectoryWalk.h"

#include "platform/Files.h"

#include <windows.h>

namespace platform {
namespace {

class ScopedFind {
public:
    explicit ScopedFind(HANDLE find) : find_(find) {}
    ~ScopedFind() {
        if (valid()) FindClose(find_);
    }
    ScopedFind(const ScopedFind&) = delete;
    ScopedFind& operator=(const ScopedFind&) = delete;
    bool valid() const { return find_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return find_; }

private:
    HANDLE find_;
};

DirectoryEntry toEntry(const WIN32_FIND_DATAW& found) {
    DirectoryEntry entry;
    entry.name = found.cFileName;
    entry.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isLink = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    return entry;
}

}  // namespace

std::optional<std::vector<DirectoryEntry>> Win32DirectoryWalk::entries(const std::wstring& folder) {
    WIN32_FIND_DATAW found = {};
    ScopedFind find(FindFirstFileW((folder + L"\\*.*").c_str(), &found));
    if (!find.valid()) return std::nullopt;
    std::vector<DirectoryEntry> list;
    do {
        list.push_back(toEntry(found));
    } while (FindNextFileW(find.get(), &found));
    return list;
}

bool Win32DirectoryWalk::exists(const std::wstring& path) { return pathExists(path); }

bool Win32DirectoryWalk::isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool Win32DirectoryWalk::deleteFile(const std::wstring& path) { return platform::deleteFile(path); }

bool Win32DirectoryWalk::moveFile(const std::wstring& from, const std::wstring& to) {
    return platform::moveFile(from, to);
}

bool Win32DirectoryWalk::replaceFile(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool Win32DirectoryWalk::deleteAtRestart(const std::wstring& path) {
    return MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

bool Win32DirectoryWalk::replaceAtRestart(const std::wstring& from, const std::wstring& to) {
    return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool Win32DirectoryWalk::createDirectory(const std::wstring& path) { return platform::createDirectory(path); }

bool Win32DirectoryWalk::removeDirectory(const std::wstring& path) { return platform::removeDirectory(path); }

}  // namespace platform
