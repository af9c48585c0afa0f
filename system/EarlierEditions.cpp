#include "system/EarlierEditions.h"

#include <map>

#include "platform/TextCompare.h"
#include "system/SystemChanges.h"

namespace {

// A module is kept only when its product version could be read and equals the packaged one.
bool isPackagedVersion(platform::VersionInfo& versions, const std::wstring& path, const PackageVersion& expected) {
    std::optional<PackageVersion> found;
    return readProductVersion(versions, path, found) && found == expected;
}

using platform::kRegistrySuccess;
using platform::Registry;
using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryValue;
using platform::RegistryView;

constexpr wchar_t kMachineUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kUserUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr wchar_t kSettingsKey[] = L"Software\\ZelnSoft";

// Deletes subkey under root's key parent, first as the default view shows it, then in the 64-bit view.
void deleteInBothViews(Registry& registry, RegistryRoot root, const wchar_t* parent, const wchar_t* subkey) {
    for (const RegistryView view : {RegistryView::Default, RegistryView::Force64}) {
        RegistryKey key;
        if (registry.openKeyEx(root, parent, platform::kKeyAllAccess, view, key) == kRegistrySuccess) {
            registry.deleteKey(key, subkey);
        }
    }
}

// The source list deletion of one product key, under the Products key opened with full access.
void deleteProductWithFullAccess(Registry& registry, const wchar_t* productKey) {
    RegistryKey products;
    if (registry.openKeyEx(RegistryRoot::CurrentUser, kInstallerProductsKey, platform::kKeyAllAccess,
                           RegistryView::Default, products) == kRegistrySuccess) {
        deleteSourceList(registry, products, productKey);
    }
}

bool namesImeFile(Registry& registry, const RegistryKey& list, const std::wstring& layoutId,
                  const std::wstring& imeFile) {
    RegistryKey layout;
    if (registry.openKey(list, layoutId, layout) != kRegistrySuccess) return false;
    RegistryValue value;
    if (registry.queryValue(layout, L"IME File", kLayoutValueBytes, value) != kRegistrySuccess) return false;
    const std::wstring named = value.text();
    return !named.empty() && platform::equalsIgnoringAsciiCase(named, imeFile);
}

// The slot number a preload value name stands for: decimal digits only, from 1.
bool slotNumber(const std::wstring& name, std::uint32_t& slot) {
    if (name.empty() || name.size() > 9) return false;
    slot = 0;
    for (const wchar_t digit : name) {
        if (digit < L'0' || digit > L'9') return false;
        slot = slot * 10 + static_cast<std::uint32_t>(digit - L'0');
    }
    return slot != 0;
}

}  // namespace

bool findLayoutByImeFile(Registry& registry, const std::wstring& imeFile, std::wstring& layoutId) {
    RegistryKey list;
    if (registry.openKey(RegistryRoot::LocalMachine, kKeyboardLayoutsKey, list) != kRegistrySuccess) return false;
    platform::RegistryKeyInfo info;
    if (registry.queryKeyInfo(list, info) != kRegistrySuccess) return false;
    for (std::uint32_t index = info.subkeyCount; index-- > 0;) {
        std::wstring name;
        if (registry.enumKey(list, index, kLayoutNameChars, name) != kRegistrySuccess) continue;
        if (namesImeFile(registry, list, name, imeFile)) {
            layoutId = name;
            return true;
        }
    }
    return false;
}

void removeFromPreload(Registry& registry, const std::wstring& layoutId) {
    RegistryKey preload;
    if (registry.openKey(RegistryRoot::CurrentUser, kPreloadKey, preload) != kRegistrySuccess) return;
    // Every numbered slot is looked at, in the order of its number: after an earlier removal the list may
    // have a gap, and a slot above the number of values must not keep listing a layout that is gone.
    std::map<std::uint32_t, std::wstring> slots;
    std::wstring name;
    RegistryValue value;
    for (std::uint32_t index = 0; registry.enumValue(preload, index, name, value) == kRegistrySuccess; ++index) {
        std::uint32_t slot = 0;
        if (slotNumber(name, slot)) slots.emplace(slot, name);
    }
    for (const auto& entry : slots) {
        if (registry.queryValue(preload, entry.second, kLayoutValueBytes, value) == kRegistrySuccess &&
            platform::equalsIgnoringAsciiCase(value.text(), layoutId)) {
            registry.deleteValue(preload, entry.second);
            return;
        }
    }
}

void deleteSourceList(Registry& registry, const RegistryKey& products, const std::wstring& productKey) {
    // RegDeleteKeyW removes only keys without subkeys: leaves first.
    for (const wchar_t* below : {L"\\SourceList\\Net", L"\\SourceList\\Media", L"\\SourceList", L""}) {
        registry.deleteKey(products, productKey + below);
    }
}

void removeEarlierEditionKeys(Registry& registry) {
    for (const wchar_t* entry :
         {L"ZelnIME2016", L"{39318221-A7D4-400F-B932-674B420F4FF8}", L"{9C2801B2-17E6-47B0-B7B9-F65A3000165B}"}) {
        deleteInBothViews(registry, RegistryRoot::LocalMachine, kMachineUninstallKey, entry);
    }
    {
        // The present product's own key, "RudeRadod", lives beside these and stays.
        RegistryKey settings;
        if (registry.openKey(RegistryRoot::CurrentUser, kSettingsKey, settings) == kRegistrySuccess) {
            for (const wchar_t* earlier : {L"UnderCH", L"Zelnsoft IME 2016 ZelnCode ver", L"RivezuziDAD2016",
                                           L"泽尔恩（编码）输入法2016", L"ZelnIme"}) {
                registry.deleteKey(settings, earlier);
            }
        }
    }
    {
        RegistryKey products;
        if (registry.openKey(RegistryRoot::CurrentUser, kInstallerProductsKey, products) == kRegistrySuccess) {
            deleteSourceList(registry, products, L"122813934D7AF0049B2376B424F0F48F");
            deleteSourceList(registry, products, L"2B1082C96E710B747B9B6FA5030061B5");
        }
    }
    deleteInBothViews(registry, RegistryRoot::CurrentUser, kUserUninstallKey,
                      L"{9C2801B2-17E6-47B0-B7B9-F65A3000165B}");
    deleteInBothViews(registry, RegistryRoot::CurrentUser, kUserUninstallKey,
                      L"{39318221-A7D4-400F-B932-674B420F4FF8}");
    deleteProductWithFullAccess(registry, L"C7987ABC841FAD445B0C78A2037E562E");
    deleteInBothViews(registry, RegistryRoot::CurrentUser, kUserUninstallKey,
                      L"{CBA7897C-F148-44DA-B5C0-872A30E765E2}");
    deleteProductWithFullAccess(registry, L"D5EE8CCB715527B48AD7A8ED00B24CC6");
    deleteInBothViews(registry, RegistryRoot::CurrentUser, kUserUninstallKey,
                      L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}");
}

void retireLayout(RemovalServices& services, const std::wstring& layoutId) {
    if (!services.changes.record(layoutRetired(layoutId))) return;
    // Posted, not sent: no other process's window can hold up the removal.
    services.broadcast.postToAllWindows(platform::kWmInputLangChange, 0, 0);
    for (int round = 0; round < 2; ++round) {
        const std::intptr_t layout = services.keyboardLayouts.loadLayout(layoutId, platform::kKlfActivate);
        if (layout != 0) services.keyboardLayouts.unloadLayout(layout);
    }
    {
        RegistryKey list;
        if (services.registry.openKeyEx(RegistryRoot::LocalMachine, kKeyboardLayoutsKey, platform::kKeyRead,
                                        RegistryView::Default, list) == kRegistrySuccess) {
            services.registry.deleteKey(list, layoutId);
        }
    }
    removeFromPreload(services.registry, layoutId);
}

InstallResult removeEarlierEditions(RemovalServices& services) {
    for (const wchar_t* earlierModule : {L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime"}) {
        std::wstring layoutId;
        if (findLayoutByImeFile(services.registry, earlierModule, layoutId)) retireLayout(services, layoutId);
    }
    removeEarlierEditionKeys(services.registry);
    ModuleRemoval modules = moduleRemoval(services);
    removeEarlierEditionFiles(services.directoryWalk, modules, services.facts.windowsDirectory());
    return RESULT_OK;
}

bool readProductVersion(platform::VersionInfo& versions, const std::wstring& path,
                        std::optional<PackageVersion>& version) {
    platform::ModuleVersion found{};
    switch (versions.productVersion(path, found)) {
        case platform::VersionLookup::NoResource:
            return false;
        case platform::VersionLookup::Unreadable:
            version.reset();
            return true;
        case platform::VersionLookup::Found:
            version = found;
            return true;
    }
    return false;
}

InstallResult clearOutdatedImeModules(platform::VersionInfo& versions, ModuleRemoval& modules,
                                      const PackageVersion& imeVersion, const PackageVersion& textServiceVersion) {
    const auto never = [](const std::wstring&) { return false; };
    const auto packagedIme = [&](const std::wstring& path) { return isPackagedVersion(versions, path, imeVersion); };
    const auto packagedTextService = [&](const std::wstring& path) {
        return isPackagedVersion(versions, path, textServiceVersion);
    };
    // Through the journal every module is only set aside: when one cannot be moved, the install stops and its
    // undo puts all of them back, and the input method in use stays complete.
    const bool cleared = modules.takeOutOfSystemFolders(L"ZelnsoftZelnCode.ime", never) &&
                         modules.takeOutOfSystemFolders(L"ZelnsoftMIM.ime", never) &&
                         modules.takeOutOfSystemFolders(L"ZelnIme.ime", packagedIme) &&
                         modules.takeOutOfSystemFolders(L"ZelnImeTSF.ime", packagedTextService);
    return cleared ? RESULT_OK : ERR_PRECHECK;
}

TreeList listTree(platform::DirectoryWalk& files, const std::wstring& folder, TreeList list) {
    const auto entries = files.entries(folder);
    if (!entries) return list;
    if (list.empty()) list.push_front({folder, 1});
    for (const platform::DirectoryEntry& entry : *entries) {
        const std::wstring path = folder + L"\\" + entry.name;
        // A path cut short could name another file; one that does not fit stays, and so do its parents.
        if (!fitsPathBuffer(path)) continue;
        if (!entry.isDirectory) {
            list.push_front({path, 0});
        } else if (!entry.name.empty() && entry.name.front() != L'.') {
            list.push_front({path, 1});
            // A link's contents belong to another tree: only the link itself is removed.
            if (!entry.isLink) list = listTree(files, path, std::move(list));
        }
    }
    return list;
}

int deleteTree(platform::DirectoryWalk& files, const std::wstring& folder) {
    TreeList list = listTree(files, folder, {});
    while (!list.empty()) {
        const TreeNode& node = list.front();
        if (node.isDirectory != 0) {
            files.removeDirectory(node.path);
        } else {
            files.deleteFile(node.path);
        }
        list.pop_front();
    }
    return 1;
}

int removeEarlierEditionFiles(platform::DirectoryWalk& files, ModuleRemoval& modules,
                              const std::wstring& windowsDirectory) {
    // Modules and programs alike: a running program's image is mapped as a loaded module's is.
    modules.takeOutOfSystemFolders({L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime", L"ZelnIMECnvrt.dll",
                                    L"ZelnIMEUninstall2016.exe", L"ZelnIME_REG.exe"});
    const std::wstring drive = systemDrive(windowsDirectory);
    for (const wchar_t* folder : kDefaultApplicationFolders) deleteTree(files, drive + folder);
    for (const wchar_t* folder : {L"\\Program Files (x86)\\Zelnsoft\\Update", L"\\Program Files\\Zelnsoft\\Update",
                                  L"\\Program Files\\Zelnsoft\\RivezuziDAD2016"}) {
        deleteTree(files, drive + folder);
    }
    return 1;
}
