#pragma once
// What earlier editions of the input method left behind: outdated modules in the system directories
// (removed before anything is unpacked), their keyboard layouts, uninstall entries, Windows Installer
// product keys, settings keys and program folders. The removal of the installed edition reuses the
// layout, preload and folder removal from here.
#include "engine/InstallResult.h"
#include "engine/InstallerContext.h"
#include "engine/PackageFormat.h"
#include "platform/DirectoryWalk.h"
#include "platform/Registry.h"
#include "platform/VersionInfo.h"
#include "system/KeyboardLayoutRegistration.h"
#include "system/ModuleRemoval.h"
#include "system/RemovalServices.h"
#include "system/UninstallEntry.h"

#include <cstdint>
#include <forward_list>
#include <optional>
#include <string>

// The application folder's default locations on the system drive, the present edition's and earlier ones'.
inline constexpr const wchar_t* kDefaultApplicationFolders[] = {L"\\Program Files (x86)\\Zelnsoft\\ZelnIME",
                                                                L"\\Program Files\\Zelnsoft\\ZelnIME"};

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

// Takes out the conflicting modules of earlier editions and every IME or text-service module whose product
// version is not the packaged one, in the 32-bit and then the 64-bit system directory. RESULT_OK when every
// such module is gone; ERR_PRECHECK at the first one that exists and cannot be moved (the install's undo then
// puts back those taken out before it).
InstallResult clearOutdatedImeModules(platform::VersionInfo& versions, ModuleRemoval& modules,
                                      const PackageVersion& imeVersion, const PackageVersion& textServiceVersion);

// Adds the contents of folder to the front of list, each folder's contents before the folder itself;
// an empty list is first given a node for folder. Folders whose names begin with "." are neither listed
// nor entered, and folders that are links are listed but not entered.
TreeList listTree(platform::DirectoryWalk& files, const std::wstring& folder, TreeList list);

// Deletes everything listTree finds and then the folder, as far as it can. Always 1.
int deleteTree(platform::DirectoryWalk& files, const std::wstring& folder);

// Takes the earlier editions' modules and tools out of both system directories, then deletes the default
// program folders of earlier and present editions on the system drive. Always 1.
int removeEarlierEditionFiles(platform::DirectoryWalk& files, ModuleRemoval& modules,
                              const std::wstring& windowsDirectory);

// The layout in HKEY_LOCAL_MACHINE's layout list whose "IME File" names imeFile (ignoring case), searched
// from the last listed layout to the first. False when there is none or the list cannot be read.
bool findLayoutByImeFile(platform::Registry& registry, const std::wstring& imeFile, std::wstring& layoutId);

// Takes a layout out of use and out of the registry: every window hears of a language change, the layout is
// loaded and unloaded twice in this process, its key is deleted from the layout list and its slot from the
// preload list. Every failure is ignored.
void retireLayout(RemovalServices& services, const std::wstring& layoutId);

// Takes the layout out of the user's preload list: the lowest-numbered slot that lists it (ignoring case)
// is deleted; the other slots keep their numbers.
void removeFromPreload(platform::Registry& registry, const std::wstring& layoutId);

// Deletes a Windows Installer product key under the open Products key, its source list leaf first. A product
// key that holds further subkeys stays.
void deleteSourceList(platform::Registry& registry, const platform::RegistryKey& products,
                      const std::wstring& productKey);

// Retires the layouts of the earlier editions' IME modules, then removes their keys and files. Always
// RESULT_OK: nothing here can fail the install.
InstallResult removeEarlierEditions(RemovalServices& services);

// The earlier editions' uninstall entries (machine and user, both registry views), settings keys and Windows
// Installer product keys. Every failure is ignored.
void removeEarlierEditionKeys(platform::Registry& registry);
