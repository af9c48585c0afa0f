// The engine step after file placement: the install directory and package version in the user's product key,
// every packaged font in the system's font list, then the input method's registration. Also the registry
// helpers that this step and the uninstall entry share.
#pragma once

#include "engine/InstallResult.h"
#include "engine/InstallerContext.h"
#include "system/RegistrationServices.h"

#include <string>

constexpr wchar_t kProductKey[] = L"SOFTWARE\\ZelnSoft\\RudeRadod";
constexpr wchar_t kFontListKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

// How long the font-change broadcast waits for any one window before it goes on without it.
constexpr std::uint32_t kFontChangeTimeoutMs = 5000;

// The key opened, or else created, with KEY_ALL_ACCESS in the default view. When neither works the install
// log gets "wraning:reg create failed!err code:%d.key:%d.subkey:%s" (the create call's error, the root's
// handle value, the subkey) and the key comes back closed.
platform::RegistryKey openOrCreateKey(RegistrationServices& services, platform::RegistryRoot root,
                                      const std::wstring& subkey);
// The same in the 64-bit view (KEY_ALL_ACCESS | KEY_WOW64_64KEY).
platform::RegistryKey openOrCreateKey64(RegistrationServices& services, platform::RegistryRoot root,
                                        const std::wstring& subkey);

// Writes text as REG_SZ with 2 × length bytes, its terminator not counted. False when the key is not open or
// the write fails.
bool setStringValue(platform::Registry& registry, const platform::RegistryKey& key, const std::wstring& name,
                    const std::wstring& text);

// "%d.%d.%d.%d" of a version, major first, each number in decimal without leading zeros.
std::wstring versionText(const PackageVersion& version);

// 0, or ERR_REGISTRY when the product key or the font list can be neither opened nor created, or "APPDIR" or
// "VERSION" cannot be written; fonts and the input method are then not registered. A font whose value cannot
// be written is skipped.
InstallResult registerFontsAndProductKeys(RegistrationServices& services, const InstallerContext& context);
