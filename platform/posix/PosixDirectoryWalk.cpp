#include "platform/posix/PosixDirectoryWalk.h"

#include "platform/Files.h"
#include "platform/posix/NativePath.h"

#include <cerrno>
#include <cstdio>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

struct StreamCloser {
    void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

// Across file systems rename refuses: the data are copied, then the source removed, as Windows' move with
// copying allowed does.
bool copyThenDelete(const std::string& from, const std::string& to) {
    const Stream source(std::fopen(from.c_str(), "rb"));
    Stream target(std::fopen(to.c_str(), "wb"));
    if (!source || !target) return false;
    char buffer[65536];
    for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, source.get())) > 0;) {
        if (std::fwrite(buffer, 1, read, target.get()) != read) return false;
    }
    return std::fclose(target.release()) == 0 && unlink(from.c_str()) == 0;
}

}  // namespace

std::optional<std::vector<DirectoryEntry>> PosixDirectoryWalk::entries(const std::wstring& folder) {
    const std::string native = nativePath(folder);
    const std::unique_ptr<DIR, DirCloser> dir(opendir(native.c_str()));
    if (!dir) return std::nullopt;
    std::vector<DirectoryEntry> list;
    while (const dirent* found = readdir(dir.get())) {
        struct stat link {};
        struct stat target {};
        const std::string path = native + "/" + found->d_name;
        const bool isLink = lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode);
        const bool isFolder = stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
        list.push_back({fromUtf8(found->d_name), isFolder, isLink && isFolder});
    }
    return list;
}

bool PosixDirectoryWalk::exists(const std::wstring& path) { return pathExists(path); }

bool PosixDirectoryWalk::isDirectory(const std::wstring& path) {
    struct stat info {};
    return stat(nativePath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool PosixDirectoryWalk::deleteFile(const std::wstring& path) { return platform::deleteFile(path); }

bool PosixDirectoryWalk::moveFile(const std::wstring& from, const std::wstring& to) {
    return platform::moveFile(from, to);
}

bool PosixDirectoryWalk::replaceFile(const std::wstring& from, const std::wstring& to) {
    const std::string source = nativePath(from);
    const std::string target = nativePath(to);
    if (isDirectory(from) || isDirectory(to)) return false;
    if (std::rename(source.c_str(), target.c_str()) == 0) return true;
    return errno == EXDEV && copyThenDelete(source, target);
}

bool PosixDirectoryWalk::deleteAtRestart(const std::wstring&) { return false; }

bool PosixDirectoryWalk::replaceAtRestart(const std::wstring&, const std::wstring&) { return false; }

bool PosixDirectoryWalk::createDirectory(const std::wstring& path) { return platform::createDirectory(path); }

bool PosixDirectoryWalk::removeDirectory(const std::wstring& path) { return platform::removeDirectory(path); }

}  // namespace platform
