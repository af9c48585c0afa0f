#include "system/UninstallEntry.h"

#include "system/FontRegistration.h"

#include <cstdio>

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;

constexpr wchar_t kUpgradeCodeValue[] = L"UpgradeCode";
constexpr wchar_t kDisplayName[] = L"泽尔恩输入法";
constexpr wchar_t kPublisher[] = L"Vorarire, zir.";
constexpr std::uint32_t kMongolianLanguageId = 0x850;

}  // namespace

std::wstring guidText(const PackageGuid& guid) {
    wchar_t text[40] = {};
    std::swprintf(text, sizeof text / sizeof text[0], L"%08X%04X%04X%02X%02X%02X%02X%02X%02X%02X%02X",
                  static_cast<unsigned>(guid.data1), static_cast<unsigned>(guid.data2),
                  static_cast<unsigned>(guid.data3), guid.data4[0], guid.data4[1], guid.data4[2], guid.data4[3],
                  guid.data4[4], guid.data4[5], guid.data4[6], guid.data4[7]);
    return text;
}

std::wstring installDateText(const platform::CalendarDate& date) {
    wchar_t text[32] = {};
    std::swprintf(text, sizeof text / sizeof text[0], L"%d%02d%02d", date.year, date.month, date.day);
    return text;
}

void writeProductRegistration(RegistrationServices& services, const InstallerContext& context) {
    const RegistryKey product = openOrCreateKey(services, RegistryRoot::CurrentUser,
                                                std::wstring(kInstallerProductsKey) + L"\\" + guidText(context.trailer.productCode));
    setStringValue(services.registry, product, kUpgradeCodeValue, guidText(context.trailer.upgradeCode));
}

std::int32_t writeUninstallEntry(RegistrationServices& services, const InstallerContext& context) {
    const std::wstring path = std::wstring(kUninstallKeyFormatBase) + kUninstallProductCode;
    RegistryKey entry = context.archCode == ARCH_X64
                            ? openOrCreateKey64(services, RegistryRoot::LocalMachine, path)
                            : openOrCreateKey(services, RegistryRoot::LocalMachine, path);
    if (!entry) {
        return 0;
    }
    platform::Registry& registry = services.registry;
    const std::wstring& root = context.directories[DEST_INSTALL];
    const auto text = [&](const wchar_t* name, const std::wstring& data) { setStringValue(registry, entry, name, data); };
    const auto number = [&](const wchar_t* name, std::uint32_t data) { registry.setDword(entry, name, data); };
    text(L"AuthorizedCDFPrefix", L"");
    text(L"Comments", L"");
    text(L"Contact", L"");
    text(L"DisplayIcon", root + L"\\ZelnIME\\Installer.ico");
    text(L"DisplayName", kDisplayName);
    text(L"DisplayVersion", versionText(context.trailer.productVersion));
    number(L"EstimatedSize", 0);
    text(L"HelpLink", kHelpSiteAddress);
    text(L"HelpTelephone", L"");
    text(L"InstallDate", installDateText(services.calendar.today()));
    text(L"InstallLocation", root + L"\\ZelnIME");
    text(L"InstallSource", L"");
    number(L"Language", kMongolianLanguageId);
    number(L"NoRemove", 0);
    number(L"NoModify", 0);
    number(L"NoRepair", 0);
    text(L"Publisher", kPublisher);
    text(L"Readme", L"");
    text(L"Size", L"");
    text(L"UninstallString", root + L"\\ZelnIME\\Uninstaller.exe");
    text(L"URLInfoAbout", L"");
    text(L"URLUpdateInfo", L"");
    text(L"Readme", L"");
    return entry.close();
}
