#pragma once
// What earlier editions of the input method left behind: outdated modules in the system directories
// (removed before anything is unpacked), their keyboard layouts, uninstall entries, Windows Installer
// product keys, settings keys and program folders. The removal of the installed edition reuses the
// layout, preload and folder removal from here.
#include "engine/InstallResult.h"
#include "engine/PackageFormat.h"
#include "platform/DirectoryWalk.h"
#include "platform/VersionInfo.h"

#include <cstdint>
#include <forward_list>
#include <optional>
#include <string>

// Longest path the removal builds, terminator included; a longer one is never truncated but left alone.
inline constexpr std::size_t kMaxRemovalPath = 260;

// One file or folder found by listTree.
struct TreeNode {
    std::wstring path;
    std::uint32_t isDirectory = 0;
};
using TreeList = std::forward_list<TreeNode>;

// False when the file has no version resource. Otherwise true, and version holds the product version
// when the resource could be read; an unreadable one leaves it empty, which matches no expected version.
bool readProductVersion(platform::VersionInfo& versions, const std::wstring& path,
                        std::optional<PackageVersion>& version);

// Deletes the conflicting modules of earlier editions and every IME or text-service module whose product
// version is not the packaged one, in the 32-bit and then the 64-bit system directory. RESULT_OK when
// every such module is gone; ERR_PRECHECK at the first one that exists and cannot be deleted.
InstallResult clearOutdatedImeModules(platform::DirectoryWalk& files, platform::VersionInfo& versions,
                                      const std::wstring& windowsDirectory, const PackageVersion& imeVersion,
                                      const PackageVersion& textServiceVersion);

// The drive of the Windows directory: the directory cut at its last backslash ("C:\\Windows" gives "C:").
std::wstring systemDrive(const std::wstring& windowsDirectory);

// Adds the contents of folder to the front of list, each folder's contents before the folder itself;
// an empty list is first given a node for folder. Folders whose names begin with "." are neither listed
// nor entered, and folders that are links are listed but not entered.
TreeList listTree(platform::DirectoryWalk& files, const std::wstring& folder, TreeList list);

// Deletes everything listTree finds and then the folder, as far as it can. Always 1.
int deleteTree(platform::DirectoryWalk& files, const std::wstring& folder);

// Deletes the earlier editions' modules and tools from both system directories and the default program
// folders of earlier and present editions on the system drive. Always 1.
int removeEarlierEditionFiles(platform::DirectoryWalk& files, const std::wstring& windowsDirectory);
