// Files and folders of the build machine's own file system, for the tools and tests that run the install's
// file steps natively. Nothing here is ever in use the way Windows maps a loaded module, and there is no
// restart to leave work to: the restart operations are refused.
#pragma once

#include "platform/DirectoryWalk.h"

namespace platform {

class PosixDirectoryWalk : public DirectoryWalk {
public:
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
};

}  // namespace platform
