#pragma once
// Walking and removing files and folders, as the removal of installed and earlier editions needs it.
// A module that a running program has loaded is mapped by the system: it cannot be deleted, but it can be
// renamed within its volume, and deleted when the system next starts.
#include <optional>
#include <string>
#include <vector>

namespace platform {

struct DirectoryEntry {
    std::wstring name;
    bool isDirectory = false;
    // A folder that is a link (junction or symbolic link) to another place; its contents belong elsewhere.
    bool isLink = false;
};

class DirectoryWalk {
public:
    virtual ~DirectoryWalk() = default;
    // Every entry of the folder, "." and ".." included, in the system's order; nothing when the folder
    // cannot be listed.
    virtual std::optional<std::vector<DirectoryEntry>> entries(const std::wstring& folder) = 0;
    // True when a file or folder of that path exists.
    virtual bool exists(const std::wstring& path) = 0;
    virtual bool deleteFile(const std::wstring& path) = 0;
    // Renames a file; never replaces one that exists.
    virtual bool moveFile(const std::wstring& from, const std::wstring& to) = 0;
    // Has the system delete the file when it next starts. The path is recorded as given and read by the
    // system's own 64-bit start-up, which sees no WoW64 folder redirection.
    virtual bool deleteAtRestart(const std::wstring& path) = 0;
    // Removes an empty folder, or the link itself when the folder is a link.
    virtual bool removeDirectory(const std::wstring& path) = 0;
};

}  // namespace platform
