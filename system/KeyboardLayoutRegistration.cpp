#include "system/KeyboardLayoutRegistration.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <vector>

#include "platform/TextCompare.h"
#include "system/SystemChanges.h"
#include "system/TextServiceRegistration.h"

namespace {

using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryValue;

constexpr wchar_t kLayoutText[] = L"泽尔恩输入法";
constexpr wchar_t kMongolianLayoutText[] = L"泽尔恩输入法(MN)";
constexpr wchar_t kImeFileValue[] = L"IME File";
constexpr wchar_t kLayoutFileValue[] = L"Layout File";
constexpr wchar_t kLayoutTextValue[] = L"Layout Text";
constexpr wchar_t kLayoutFile[] = L"kbdus.dll";
constexpr wchar_t kChineseLayoutValue[] = L"KLCN";
constexpr wchar_t kMongolianLayoutValue[] = L"KLMN";

// How many same-language device parts are weighed for a new identifier.
constexpr std::size_t kMaxDeviceParts = 1000;
constexpr std::size_t kDevicePartChars = 4;

bool containsIgnoringCase(const std::vector<std::wstring>& list, const std::wstring& text) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::wstring& item) { return platform::equalsIgnoringAsciiCase(item, text); });
}

std::wstring hexDigits(std::uint32_t value, int width) {
    wchar_t text[16] = {};
    std::swprintf(text, sizeof text / sizeof text[0], L"%0*x", width, value);
    return text;
}

// A string value written with its terminator counted.
void setCountedString(platform::Registry& registry, const RegistryKey& key, const std::wstring& name,
                      const std::wstring& text) {
    registry.setString(key, name, text, 2 * (platform::utf16Length(text) + 1));
}

// True when the layout named in the open layout list is one of ours: its "IME File" reads as the IME module.
bool isOwnLayout(platform::Registry& registry, const RegistryKey& list, const std::wstring& name) {
    RegistryKey layout;
    if (registry.openKey(list, name, layout) != platform::kRegistrySuccess) {
        return false;
    }
    RegistryValue imeFile;
    return registry.queryValue(layout, kImeFileValue, kLayoutValueBytes, imeFile) == platform::kRegistrySuccess &&
           platform::equalsIgnoringAsciiCase(imeFile.text(), kImeModule);
}

// The lowest "E" device part that no same-language layout uses. At most kMaxDeviceParts are in use, so one
// of the first kMaxDeviceParts + 1 candidates is free.
std::wstring lowestFreeDevicePart(const std::vector<std::wstring>& deviceParts) {
    for (std::uint32_t value = 1;; ++value) {
        const std::wstring candidate = L"E" + hexDigits(value, 3);
        if (!containsIgnoringCase(deviceParts, candidate)) {
            return candidate;
        }
    }
}

// One above the largest device part, in four lower-case hexadecimal digits whose first becomes "E". When that
// no longer fits four digits (the largest is FFFF or beyond), or its "E" form is taken by a layout of another
// IME, the lowest free "E" device part is used instead, so that the identifier keeps its eight characters
// and no other layout's key is overwritten.
std::wstring newLayoutId(const std::vector<std::wstring>& deviceParts, const std::wstring& language) {
    std::uint32_t largest = 0;
    for (const std::wstring& part : deviceParts) {
        largest = std::max(largest, parseHexPrefix(part));
    }
    if (largest < 0xFFFF) {
        std::wstring candidate = hexDigits(largest + 1, 4);
        candidate[0] = L'E';
        if (!containsIgnoringCase(deviceParts, candidate)) {
            return candidate + language;
        }
    }
    return lowestFreeDevicePart(deviceParts) + language;
}

void writeLayoutKey(RegistrationServices& services, const std::wstring& layoutId, const std::wstring& layoutText) {
    RegistryKey layout;
    if (services.registry.createKey(RegistryRoot::LocalMachine, std::wstring(kKeyboardLayoutsKey) + L"\\" + layoutId,
                                    layout) != platform::kRegistrySuccess) {
        return;
    }
    setCountedString(services.registry, layout, kImeFileValue, kImeModule);
    setCountedString(services.registry, layout, kLayoutFileValue, kLayoutFile);
    setCountedString(services.registry, layout, kLayoutTextValue, layoutText);
}

// Chooses the layout's identifier (the default when the layout list cannot be read), writes its layout key and
// lists it for preloading.
std::wstring registerLayout(RegistrationServices& services, const wchar_t* language, const wchar_t* fallback,
                            const wchar_t* layoutText) {
    std::wstring layoutId;
    if (!chooseLayoutId(services, language, layoutId)) {
        layoutId = fallback;
    }
    writeLayoutKey(services, layoutId, layoutText);
    addToPreload(services, layoutId);
    return layoutId;
}

struct RecordedLayout {
    const wchar_t* valueName;
    const std::wstring& layoutId;
};

// Records the identifiers in the product key, unless it cannot be created.
void recordLayouts(RegistrationServices& services, std::initializer_list<RecordedLayout> layouts) {
    RegistryKey product;
    if (services.registry.createKey(RegistryRoot::CurrentUser, kLayoutProductKey, product) !=
        platform::kRegistrySuccess) {
        return;
    }
    for (const RecordedLayout& layout : layouts) {
        setCountedString(services.registry, product, layout.valueName, layout.layoutId);
    }
}

}  // namespace

RegistrationBranch chooseRegistrationBranch(const platform::VersionRecord& version) {
    const bool afterWindows8 = version.majorVersion > 6 || (version.majorVersion == 6 && version.minorVersion > 2);
    const bool windows8Workstation =
        version.majorVersion == 6 && version.minorVersion == 2 && version.productType == platform::PRODUCT_WORKSTATION;
    return afterWindows8 || windows8Workstation ? RegistrationBranch::TextService : RegistrationBranch::Legacy;
}

InstallResult registerInputMethod(RegistrationServices& services) {
    platform::VersionRecord version;
    if (!services.facts.versionRecord(version)) {
        version = platform::VersionRecord{};
    }
    if (chooseRegistrationBranch(version) == RegistrationBranch::TextService) {
        registerTextService(services);
        registerMongolianLayout(services);
    } else {
        registerImmLayouts(services);
    }
    if (linkEudcFont(services) == RESULT_OK) {
        services.broadcast.postToAllWindows(platform::kWmFontChange, 0, 0);
    }
    return RESULT_OK;
}

InstallResult registerImmLayouts(RegistrationServices& services) {
    const std::wstring chinese = registerLayout(services, kChineseLanguage, kDefaultChineseLayout, kLayoutText);
    const std::wstring mongolian = registerLayout(services, kMongolianLanguage, kDefaultMongolianLayout, kLayoutText);
    activateLayout(services, chinese);
    recordLayouts(services, {{kChineseLayoutValue, chinese}, {kMongolianLayoutValue, mongolian}});
    return RESULT_OK;
}

InstallResult registerMongolianLayout(RegistrationServices& services) {
    const std::wstring mongolian =
        registerLayout(services, kMongolianLanguage, kDefaultMongolianLayout, kMongolianLayoutText);
    activateLayout(services, mongolian);
    recordLayouts(services, {{kMongolianLayoutValue, mongolian}});
    return RESULT_OK;
}

bool chooseLayoutId(RegistrationServices& services, const std::wstring& language, std::wstring& out) {
    platform::Registry& registry = services.registry;
    RegistryKey list;
    if (registry.openKey(RegistryRoot::LocalMachine, kKeyboardLayoutsKey, list) != platform::kRegistrySuccess) {
        return false;
    }
    platform::RegistryKeyInfo info;
    if (registry.queryKeyInfo(list, info) != platform::kRegistrySuccess) {
        return false;
    }
    std::vector<std::wstring> deviceParts;
    for (std::uint32_t index = 0; index < info.subkeyCount && deviceParts.size() < kMaxDeviceParts; ++index) {
        std::wstring name;
        if (registry.enumKey(list, index, kLayoutNameChars, name) != platform::kRegistrySuccess) {
            continue;
        }
        if (name.size() < kDevicePartChars ||
            !platform::equalsIgnoringAsciiCase(name.substr(kDevicePartChars), language)) {
            continue;
        }
        if (isOwnLayout(registry, list, name)) {
            out = name;
            return true;
        }
        deviceParts.push_back(name.substr(0, kDevicePartChars));
    }
    out = newLayoutId(deviceParts, language);
    return true;
}

std::uint32_t parseHexPrefix(const std::wstring& text) {
    std::uint32_t value = 0;
    const std::size_t length = text.size();
    for (std::size_t position = 0; position < length; ++position) {
        const wchar_t character = text[position];
        std::uint32_t digit = 0xFFFFFFFF;
        if (character >= L'0' && character <= L'9') {
            digit = static_cast<std::uint32_t>(character - L'0');
        } else if (character >= L'A' && character <= L'F') {
            digit = static_cast<std::uint32_t>(character - L'A' + 10);
        } else if (character >= L'a' && character <= L'z') {
            digit = static_cast<std::uint32_t>(character - L'a' + 10);
        }
        const std::size_t shift = 4 * (length - 1 - position);
        if (shift < 32) {
            value |= digit << shift;
        }
    }
    return value;
}

void addToPreload(RegistrationServices& services, const std::wstring& layoutId) {
    platform::Registry& registry = services.registry;
    RegistryKey preload;
    if (registry.openKey(RegistryRoot::CurrentUser, kPreloadKey, preload) != platform::kRegistrySuccess) {
        return;
    }
    for (std::uint32_t slot = 1;; ++slot) {
        const std::wstring slotName = std::to_wstring(slot);
        RegistryValue listed;
        if (registry.queryValue(preload, slotName, kLayoutValueBytes, listed) != platform::kRegistrySuccess) {
            setCountedString(registry, preload, slotName, layoutId);
            return;
        }
        if (listed.text() == layoutId) {
            return;
        }
    }
}

void activateLayout(RegistrationServices& services, const std::wstring& layoutId) {
    platform::Registry& registry = services.registry;
    RegistryKey preload;
    if (registry.openKey(RegistryRoot::CurrentUser, kPreloadKey, preload) != platform::kRegistrySuccess) {
        return;
    }
    std::uint32_t slot = 1;
    for (;; ++slot) {
        RegistryValue listed;
        if (registry.queryValue(preload, std::to_wstring(slot), kLayoutValueBytes, listed) !=
                platform::kRegistrySuccess ||
            platform::equalsIgnoringAsciiCase(listed.text(), layoutId)) {
            break;
        }
    }
    registry.setString(preload, std::to_wstring(slot), layoutId, 2 * platform::utf16Length(layoutId));
    if (services.changes.record(layoutLoaded(layoutId))) {
        services.keyboardLayouts.loadLayout(layoutId, platform::kKlfActivate);
    }
}
