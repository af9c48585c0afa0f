#pragma once
// Files and folders as the install changes them: listing and removing trees, setting files aside, moving new
// files into place. A module that a running program has loaded is mapped by the system: it cannot be deleted
// or replaced, but it can be renamed within its volume. A file another program holds open without delete
// sharing can be neither; the system can still replace or delete it when it next starts.
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
    // True when a folder (or a link to one) of that path exists.
    virtual bool isDirectory(const std::wstring& path) = 0;
    virtual bool deleteFile(const std::wstring& path) = 0;
    // Renames a file; never replaces one that exists.
    virtual bool moveFile(const std::wstring& from, const std::wstring& to) = 0;
    // Moves a file over whatever file is at the destination, copying it when the destination lies on another
    // volume.
    virtual bool replaceFile(const std::wstring& from, const std::wstring& to) = 0;
    // Has the system delete the file when it next starts. The path is recorded as given and read by the
    // system's own 64-bit start-up, which sees no WoW64 folder redirection.
    virtual bool deleteAtRestart(const std::wstring& path) = 0;
    // Has the system move the file over the destination when it next starts; both paths as the system's
    // start-up sees them, as for deleteAtRestart.
    virtual bool replaceAtRestart(const std::wstring& from, const std::wstring& to) = 0;
    // One folder whose parent exists.
    virtual bool createDirectory(const std::wstring& path) = 0;
    // Removes an empty folder, or the link itself when the folder is a link.
    virtual bool removeDirectory(const std::wstring& path) = 0;
};

}  // namespace platform
