#include "system/FontRegistration.h"

#include "system/FontTable.h"
#include "system/KeyboardLayoutRegistration.h"
#include "system/SystemChanges.h"

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryView;

constexpr wchar_t kInstallDirectoryValue[] = L"APPDIR";
constexpr wchar_t kVersionValue[] = L"VERSION";

RegistryKey openOrCreateKeyIn(RegistrationServices& services, RegistryRoot root, const std::wstring& subkey,
                              RegistryView view) {
    RegistryKey key;
    if (services.registry.openKeyEx(root, subkey, platform::kKeyAllAccess, view, key) == platform::kRegistrySuccess) {
        return key;
    }
    const std::int32_t error = services.registry.createKeyEx(root, subkey, platform::kKeyAllAccess, view, key);
    if (error != platform::kRegistrySuccess) {
        services.log.writeLogLine(L"wraning:reg create failed!err code:%d.key:%d.subkey:%s",
                                  {error, static_cast<std::int32_t>(root), subkey});
    }
    return key;
}

}  // namespace

RegistryKey openOrCreateKey(RegistrationServices& services, RegistryRoot root, const std::wstring& subkey) {
    return openOrCreateKeyIn(services, root, subkey, RegistryView::Default);
}

RegistryKey openOrCreateKey64(RegistrationServices& services, RegistryRoot root, const std::wstring& subkey) {
    return openOrCreateKeyIn(services, root, subkey, RegistryView::Force64);
}

bool setStringValue(platform::Registry& registry, const RegistryKey& key, const std::wstring& name,
                    const std::wstring& text) {
    return key && registry.setString(key, name, text, 2 * platform::utf16Length(text)) == platform::kRegistrySuccess;
}

std::wstring versionText(const PackageVersion& version) {
    return std::to_wstring(version[0]) + L"." + std::to_wstring(version[1]) + L"." + std::to_wstring(version[2]) +
           L"." + std::to_wstring(version[3]);
}

InstallResult registerFontsAndProductKeys(RegistrationServices& services, const InstallerContext& context) {
    {
        const RegistryKey product = openOrCreateKey(services, RegistryRoot::CurrentUser, kProductKey);
        if (!product ||
            !setStringValue(services.registry, product, kInstallDirectoryValue,
                            context.directories[DEST_INSTALL]) ||
            !setStringValue(services.registry, product, kVersionValue, versionText(context.trailer.productVersion))) {
            return ERR_REGISTRY;
        }
    }
    {
        // Written down first so that its undo, telling running programs of the fonts again, comes after the
        // font values are back.
        const RegistryKey fonts = openOrCreateKey(services, RegistryRoot::LocalMachine, kFontListKey);
        if (!fonts || !services.changes.record(fontsChanging())) {
            return ERR_REGISTRY;
        }
        for (const FontRow& row : fontTable()) {
            setStringValue(services.registry, fonts, row.displayName, row.fileName);
        }
    }
    // Running programs learn of the new fonts now rather than at their next start.
    services.broadcast.sendToAllWindows(platform::kWmFontChange, 0, 0, kFontChangeTimeoutMs);
    registerInputMethod(services);
    return RESULT_OK;
}
