#pragma once
// A tree of files and folders held in memory, with full paths as keys, recording each removal in order.
#include "platform/DirectoryWalk.h"

#include <map>
#include <set>
#include <utility>

namespace platform {

class FakeDirectoryWalk : public DirectoryWalk {
public:
    enum class Kind { File, Directory, Link };
    std::map<std::wstring, Kind> nodes;
    // Paths whose removal and renaming fail, as for a file another program holds open without delete sharing.
    std::set<std::wstring> locked;
    // Files a running program has loaded: their deletion fails but a rename works, and they stay loaded
    // under the new name.
    std::set<std::wstring> mapped;
    // "delete PATH", "rmdir PATH", "mkdir PATH", "move FROM to TO", "replace FROM over TO", "delete at restart
    // PATH" and "replace at restart FROM over TO", in the order asked, whether or not they succeeded.
    std::vector<std::wstring> removals;
    // The paths recorded for deletion at restart, in order.
    std::vector<std::wstring> restartDeletions;
    // The replacements recorded for the restart, as (from, to), in order.
    std::vector<std::pair<std::wstring, std::wstring>> restartReplacements;

    std::optional<std::vector<DirectoryEntry>> entries(const std::wstring& folder) override;
    bool exists(const std::wstring& path) override;
    bool isDirectory(const std::wstring& path) override;
    bool deleteFile(const std::wstring& path) override;
    bool moveFile(const std::wstring& from, const std::wstring& to) override;
    bool replaceFile(const std::wstring& from, const std::wstring& to) override;
    bool deleteAtRestart(const std::wstring& path) override;
    bool replaceAtRestart(const std::wstring& from, const std::wstring& to) override;
    bool createDirectory(const std::wstring& path) override;
    bool removeDirectory(const std::wstring& path) override;

    // Adds the file and every folder above it that is missing.
    void addFile(const std::wstring& path);
    void addDirectory(const std::wstring& path);
    void addLink(const std::wstring& path);

private:
    void addParents(const std::wstring& path);
    bool hasChildren(const std::wstring& folder) const;
};

}  // namespace platform
