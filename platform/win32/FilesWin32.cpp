#include "platform/Files.h"

#include "platform/win32/ScopedHandle.h"

#include <windows.h>

#include <cstdio>
#include <io.h>

namespace platform {

File::File(const std::wstring& path, FileMode mode) {
    const wchar_t* modeText = mode == FileMode::Read    ? L"rb"
                              : mode == FileMode::Write ? L"wb"
                              : mode == FileMode::Append ? L"ab"
                                                         : L"rb+";
    stream_ = _wfopen(path.c_str(), modeText);
    useStreamBuffer();
}

bool File::seek(std::uint64_t offset) {
    return stream_ && offset <= static_cast<std::uint64_t>(INT64_MAX) &&
           _fseeki64(stream_, static_cast<__int64>(offset), SEEK_SET) == 0;
}

bool File::size(std::uint64_t& length) {
    if (!stream_) {
        return false;
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream_)));
    LARGE_INTEGER value{};
    if (handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(handle, &value)) {
        return false;
    }
    length = static_cast<std::uint64_t>(value.QuadPart);
    return true;
}

bool File::flushToDisk() {
    // _commit is FlushFileBuffers on the stream's handle.
    return flush() && _commit(_fileno(stream_)) == 0;
}

bool pathExists(const std::wstring& path) {
    return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool createDirectory(const std::wstring& path) {
    return CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

bool moveFile(const std::wstring& from, const std::wstring& to) {
    return MoveFileW(from.c_str(), to.c_str()) != FALSE;
}

bool deleteFile(const std::wstring& path) {
    return DeleteFileW(path.c_str()) != FALSE;
}

bool removeDirectory(const std::wstring& path) {
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

bool appendTextLine(const std::wstring& path, const std::wstring& line) {
    // The encoding is ours, not the C runtime's: the UTF-8 text mode ("ccs=UTF-8") is missing from the
    // msvcrt.dll of Windows XP. Append-only access puts every write at the end of the file.
    const ScopedHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER length{};
    if (!file.valid() || !GetFileSizeEx(file.get(), &length)) {
        return false;
    }
    const std::string bytes = textLineBytes(line, length.QuadPart == 0);
    DWORD written = 0;
    return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != FALSE &&
           written == bytes.size();
}

std::size_t pathRootLength(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') {
        return 2;
    }
    if (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1])) {
        // \\server\share: the share is the root.
        std::size_t separators = 0;
        for (std::size_t i = 2; i < path.size(); ++i) {
            if (isPathSeparator(path[i]) && ++separators == 2) {
                return i;
            }
        }
        return path.size();
    }
    return 0;
}

}  // namespace platform
