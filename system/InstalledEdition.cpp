#include "system/InstalledEdition.h"

#include "system/EarlierEditions.h"
#include "system/SystemChanges.h"
#include "system/TextServiceRegistration.h"

#include "platform/TextCompare.h"

namespace {

using platform::Registry;
using platform::RegistryKey;
using platform::RegistryRoot;
using platform::kRegistrySuccess;

// GetSystemDirectoryW's buffer for the regsvr32 command, as when the text service is registered.
constexpr std::uint32_t kCommandDirectoryChars = 255;

bool keepRegistrationIn(RemovalServices& services, const std::wstring& systemDirectory) {
    const bool installed = services.directoryWalk.exists(systemDirectory + L"\\" + kTextServiceModule);
    return !installed || services.changes.record(undoneByRunning(textServiceRegistration(systemDirectory)));
}

}  // namespace

InstallResult removeInstalledEdition(RemovalServices& services) {
    removeSupersededProductKeys(services.registry);
    std::vector<std::wstring> layoutIds;
    findLayoutsByImeFile(services.registry, layoutIds);
    for (const std::wstring& layoutId : layoutIds) retireLayout(services, layoutId);
    unregisterTextService(services);
    ModuleRemoval modules = moduleRemoval(services);
    removeInstalledFiles(services.directoryWalk, modules, services.facts.windowsDirectory());
    return RESULT_OK;
}

bool keepTextServiceRegistration(RemovalServices& services) {
    std::wstring systemDirectory;
    return !services.shell.systemDirectory(kCommandDirectoryChars, systemDirectory) ||
           keepRegistrationIn(services, systemDirectory);
}

InstallResult unregisterTextService(RemovalServices& services) {
    std::wstring systemDirectory;
    // Without a system directory there is no module to name, as after any other failing regsvr32 run.
    if (!services.shell.systemDirectory(kCommandDirectoryChars, systemDirectory) ||
        !keepRegistrationIn(services, systemDirectory)) {
        return RESULT_OK;
    }
    services.shell.executeAndWait(textServiceUnregistration(systemDirectory));
    return RESULT_OK;
}

void removeSupersededProductKeys(Registry& registry) {
    {
        RegistryKey uninstall;
        if (registry.openKey(RegistryRoot::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                             uninstall) == kRegistrySuccess) {
            registry.deleteKey(uninstall, L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}");
        }
    }
    for (const wchar_t* product : {L"D5EE8CCB715527B48AD7A8ED00B24CC6", L"C7987ABC841FAD445B0C78A2037E562E"}) {
        RegistryKey products;
        if (registry.openKey(RegistryRoot::CurrentUser, kInstallerProductsKey, products) == kRegistrySuccess) {
            deleteSourceList(registry, products, product);
        }
    }
}

std::size_t findLayoutsByImeFile(Registry& registry, std::vector<std::wstring>& layoutIds) {
    layoutIds.clear();
    RegistryKey list;
    if (registry.openKey(RegistryRoot::LocalMachine, kKeyboardLayoutsKey, list) != kRegistrySuccess) return 0;
    platform::RegistryKeyInfo info;
    if (registry.queryKeyInfo(list, info) != kRegistrySuccess) return 0;
    // The layouts are only collected here; retiring deletes keys, which would shift the indexes.
    for (std::uint32_t index = 0; index < info.subkeyCount && layoutIds.size() < kMaxRetiredLayouts; ++index) {
        std::wstring name;
        if (registry.enumKey(list, index, kLayoutNameChars, name) != kRegistrySuccess) continue;
        if (name.size() > kLayoutIdChars) continue;
        RegistryKey layout;
        if (registry.openKey(list, name, layout) != kRegistrySuccess) continue;
        platform::RegistryValue imeFile;
        if (registry.queryValue(layout, L"IME File", kLayoutValueBytes, imeFile) == kRegistrySuccess &&
            platform::equalsIgnoringAsciiCase(imeFile.text(), kImeModule)) {
            layoutIds.push_back(name);
        }
    }
    return layoutIds.size();
}

int removeInstalledFiles(platform::DirectoryWalk& files, ModuleRemoval& modules, const std::wstring& windowsDirectory) {
    // The 64-bit copies go as well: the present edition's modules of both kinds are its own.
    modules.takeOutOfSystemFolders({kImeModule, kTextServiceModule});
    const std::wstring drive = systemDrive(windowsDirectory);
    for (const wchar_t* folder : kDefaultApplicationFolders) deleteTree(files, drive + folder);
    return 1;
}
