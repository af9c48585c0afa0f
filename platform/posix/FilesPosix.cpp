#include "platform/Files.h"

#include "platform/posix/NativePath.h"

#include <cstdio>
#include <cstdint>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

File::File(const std::wstring& path, FileMode mode) {
    const char* modeText = mode == FileMode::Read    ? "rb"
                           : mode == FileMode::Write ? "wb"
                           : mode == FileMode::Append ? "ab"
                                                      : "rb+";
    stream_ = std::fopen(nativePath(path).c_str(), modeText);
    useStreamBuffer();
}

bool File::seek(std::uint64_t offset) {
    return stream_ && offset <= static_cast<std::uint64_t>(INT64_MAX) &&
           fseeko(stream_, static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool File::size(std::uint64_t& length) {
    struct stat info {};
    if (!stream_ || fstat(fileno(stream_), &info) != 0) {
        return false;
    }
    length = static_cast<std::uint64_t>(info.st_size);
    return true;
}

bool File::flushToDisk() {
    return flush() && fsync(fileno(stream_)) == 0;
}

bool pathExists(const std::wstring& path) {
    struct stat info {};
    return !path.empty() && stat(nativePath(path).c_str(), &info) == 0;
}

bool createDirectory(const std::wstring& path) {
    return !path.empty() && mkdir(nativePath(path).c_str(), 0755) == 0;
}

bool moveFile(const std::wstring& from, const std::wstring& to) {
    return renameat2(AT_FDCWD, nativePath(from).c_str(), AT_FDCWD, nativePath(to).c_str(), RENAME_NOREPLACE) == 0;
}

bool deleteFile(const std::wstring& path) {
    return unlink(nativePath(path).c_str()) == 0;
}

// A link to a folder goes as a link, as Windows removes a junction and leaves what it points to.
bool removeDirectory(const std::wstring& path) {
    struct stat info {};
    const std::string native = nativePath(path);
    if (lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return unlink(native.c_str()) == 0;
    return rmdir(native.c_str()) == 0;
}

bool appendTextLine(const std::wstring& path, const std::wstring& line) {
    std::FILE* stream = std::fopen(nativePath(path).c_str(), "ab");
    if (!stream) {
        return false;
    }
    struct stat info {};
    const std::string bytes = textLineBytes(line, fstat(fileno(stream), &info) == 0 && info.st_size == 0);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
    return std::fclose(stream) == 0 && written;
}

std::size_t pathRootLength(const std::wstring& path) {
    return !path.empty() && path[0] == L'/' ? 1 : 0;
}

}  // namespace platform
