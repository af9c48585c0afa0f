// The records that let Windows and its installer service know the product: the package's codes in the user's
// installer product list, and the machine-wide uninstall entry that the program list shows.
#pragma once

#include "engine/InstallerContext.h"
#include "system/RegistrationServices.h"

#include <cstdint>
#include <string>

// The uninstall entry's key name: the product's own code, fixed whatever code the package carries.
constexpr wchar_t kUninstallProductCode[] = L"{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}";
constexpr wchar_t kUninstallKeyFormatBase[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// The user's Windows Installer product list, which earlier editions' removal also walks.
inline constexpr wchar_t kInstallerProductsKey[] = L"SOFTWARE\\Microsoft\\Installer\\Products";
// The maker's help site, shown as the entry's support link.
constexpr wchar_t kHelpSiteAddress[] = L"http://www.zelnsoft.example";

// A GUID as 32 upper-case hexadecimal digits in text order, without braces or dashes.
std::wstring guidText(const PackageGuid& guid);

// "YYYYMMDD" of a date, month and day zero-padded.
std::wstring installDateText(const platform::CalendarDate& date);

// "UpgradeCode" under the package's product code in HKEY_CURRENT_USER's installer product list. A key that
// can be neither opened nor created is skipped (the helper has logged it).
void writeProductRegistration(RegistrationServices& services, const InstallerContext& context);

// The uninstall entry's 23 values, in the 64-bit view on x64 systems and in the default view elsewhere. 0 when
// the key could be neither opened nor created, otherwise the result of closing it; nobody needs to look.
std::int32_t writeUninstallEntry(RegistrationServices& services, const InstallerContext& context);
