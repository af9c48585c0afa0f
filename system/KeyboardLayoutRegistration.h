// The IME module registered as keyboard layouts: layout identifiers chosen, layout keys written, the layouts
// added to the user's preload list and activated, and the identifiers recorded in the product key. Also the
// dispatcher that picks the registration path from the Windows version.
//
// A layout identifier is eight hexadecimal characters: a device part of four, whose first is "E" in the
// identifiers made here, and the Windows language identifier.
#pragma once

#include "engine/InstallResult.h"
#include "engine/PackageFormat.h"
#include "system/RegistrationServices.h"

#include <cstdint>
#include <string>

constexpr wchar_t kKeyboardLayoutsKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts";
constexpr wchar_t kPreloadKey[] = L"Keyboard Layout\\Preload";
constexpr wchar_t kLayoutProductKey[] = L"Software\\Zelnsoft\\RudeRadod";
constexpr wchar_t kImeModule[] = L"ZelnIme.ime";

constexpr wchar_t kChineseLanguage[] = L"0804";    // Chinese, PRC
constexpr wchar_t kMongolianLanguage[] = L"0850";  // Mongolian in traditional script, PRC
constexpr wchar_t kDefaultChineseLayout[] = L"E0210804";
constexpr wchar_t kDefaultMongolianLayout[] = L"E0310850";

// Buffers the layout list is read with, as large as a path buffer: key names in characters, "IME File" and
// preload data in bytes.
constexpr std::uint32_t kLayoutNameChars = static_cast<std::uint32_t>(PATH_UNITS);
constexpr std::uint32_t kLayoutValueBytes = static_cast<std::uint32_t>(PATH_UNITS);

// Which registration path the Windows version takes.
enum class RegistrationBranch {
    Legacy,       // both layouts as IMM layouts: before Windows 8, and 6.2 on servers
    TextService,  // the text service and the Mongolian-language layout: 6.2 workstations and later
};

RegistrationBranch chooseRegistrationBranch(const platform::VersionRecord& version);

// Registers the input method along the branch the Windows version picks, links the EUDC font and, when that
// worked, posts a font change to every top-level window. 0, always: nothing here can fail the install.
InstallResult registerInputMethod(RegistrationServices& services);

// Legacy branch: the Chinese- and the Mongolian-language layout, both recorded. 0, always.
InstallResult registerImmLayouts(RegistrationServices& services);

// Text-service branch: the Mongolian-language layout only, recorded as "KLMN". 0, always.
InstallResult registerMongolianLayout(RegistrationServices& services);

// The identifier for a layout of the four-character language part: an existing layout of that language whose
// "IME File" is the IME module (ignoring case), or a new identifier above every same-language device part.
// False when the layout list cannot be opened or counted; out is then untouched.
bool chooseLayoutId(RegistrationServices& services, const std::wstring& language, std::wstring& out);

// The hexadecimal value of a device part: each character's digit shifted into place by its position from the
// right. "a" to "z" count from 10, and a character that is no digit counts as all ones. Digits shifted past 32
// bits add nothing.
std::uint32_t parseHexPrefix(const std::wstring& text);

// Lists the identifier in the first free preload slot, unless a slot before it already holds it exactly.
void addToPreload(RegistrationServices& services, const std::wstring& layoutId);

// Writes the identifier to the slot that lists it (ignoring case), or else to the first free one, and loads
// the layout activated.
void activateLayout(RegistrationServices& services, const std::wstring& layoutId);
