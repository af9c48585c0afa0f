// The input method's text service registered through the system's regsvr32, and its EUDC font made the
// user's default end-user-defined-character font for code page 936.
#pragma once

#include "engine/InstallResult.h"
#include "system/RegistrationServices.h"

#include <string>

// The text-service module and the EUDC font, both placed in the system directory.
constexpr wchar_t kTextServiceModule[] = L"ZelnImeTSF.ime";
constexpr wchar_t kEudcFontFile[] = L"zelnsoft.tte";

// The regsvr32 command that registers the text-service module in systemDirectory: "open" the system
// directory's "regsvr32.exe" with "/s- %s\\%s", in the system directory, waited for, shown.
platform::ShellExecution textServiceRegistration(const std::wstring& systemDirectory);
// The same run of regsvr32 that unregisters the module instead.
platform::ShellExecution textServiceUnregistration(const std::wstring& systemDirectory);

// Runs regsvr32 on the text-service module and waits until it exits. Neither the launch nor regsvr32's
// outcome is looked at: 0, always.
InstallResult registerTextService(RegistrationServices& services);

// "%s\\zelnsoft.tte" of the system directory, with no second backslash after one the directory ends with.
std::wstring eudcFontPath(const std::wstring& systemDirectory);

// Points HKEY_CURRENT_USER "EUDC\\936" "SystemDefaultEUDCFont" at the EUDC font, with EUDC font linking
// switched off meanwhile. 0 on success; 1 when GDI32 or its EnableEUDC is unavailable or the key can be
// neither opened nor created. Linking is switched on again on every path that switched it off.
InstallResult linkEudcFont(RegistrationServices& services);
