#include "platform/win32/Win32Registry.h"

#include "platform/win32/SystemFunction.h"

#include <windows.h>

namespace platform {

namespace {

HKEY toHkey(std::intptr_t handle) { return reinterpret_cast<HKEY>(handle); }
std::intptr_t fromHkey(HKEY key) { return reinterpret_cast<std::intptr_t>(key); }

// Windows takes null for an empty subkey in the open and create calls.
const wchar_t* subkeyOrNull(const std::wstring& subkey) { return subkey.empty() ? nullptr : subkey.c_str(); }

// The largest value name Windows allows, terminator included.
constexpr DWORD kMaxValueNameChars = 16384;

// advapi32 exports RegDeleteKeyExW from Windows XP x64 and Vista on: the Windows that have a second view.
using RegDeleteKeyExWFunction = LSTATUS(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

}  // namespace

std::int32_t Win32Registry::openKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) {
    HKEY opened = nullptr;
    const LSTATUS status = RegOpenKeyW(toHkey(parent.handle()), subkeyOrNull(subkey), &opened);
    if (status == ERROR_SUCCESS) {
        key = adopt(fromHkey(opened), RegistryView::Default);
    }
    return status;
}

std::int32_t Win32Registry::openKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                      RegistryView view, RegistryKey& key) {
    HKEY opened = nullptr;
    const LSTATUS status =
        RegOpenKeyExW(toHkey(parent.handle()), subkeyOrNull(subkey), 0, accessMask(access, view), &opened);
    if (status == ERROR_SUCCESS) {
        key = adopt(fromHkey(opened), view);
    }
    return status;
}

std::int32_t Win32Registry::createKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) {
    HKEY created = nullptr;
    const LSTATUS status = RegCreateKeyW(toHkey(parent.handle()), subkeyOrNull(subkey), &created);
    if (status == ERROR_SUCCESS) {
        key = adopt(fromHkey(created), RegistryView::Default);
    }
    return status;
}

std::int32_t Win32Registry::createKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                        RegistryView view, RegistryKey& key) {
    HKEY created = nullptr;
    const LSTATUS status = RegCreateKeyExW(toHkey(parent.handle()), subkey.c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, accessMask(access, view), nullptr, &created,
                                           nullptr);
    if (status == ERROR_SUCCESS) {
        key = adopt(fromHkey(created), view);
    }
    return status;
}

std::int32_t Win32Registry::queryValue(const RegistryKey& key, const std::wstring& name, std::uint32_t bufferBytes,
                                       RegistryValue& value) {
    // Never a null buffer: with one, Windows answers the data's size instead of reading it.
    std::vector<std::uint8_t> buffer(bufferBytes > 0 ? bufferBytes : 1);
    DWORD type = REG_NONE;
    DWORD size = bufferBytes;
    const LSTATUS status =
        RegQueryValueExW(toHkey(key.handle()), name.c_str(), nullptr, &type, buffer.data(), &size);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    buffer.resize(size);
    value.type = static_cast<RegistryType>(type);
    value.data = std::move(buffer);
    return status;
}

std::int32_t Win32Registry::setString(const RegistryKey& key, const std::wstring& name, const std::wstring& text,
                                      std::uint32_t byteCount) {
    if (byteCount > (text.size() + 1) * sizeof(wchar_t)) {
        return ERROR_INVALID_PARAMETER;
    }
    // The data pointer is the text itself, so that the terminator follows the counted characters in memory
    // exactly as the system's own buffers have it.
    return RegSetValueExW(toHkey(key.handle()), name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), byteCount);
}

std::int32_t Win32Registry::setDword(const RegistryKey& key, const std::wstring& name, std::uint32_t value) {
    const DWORD data = value;
    return RegSetValueExW(toHkey(key.handle()), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof data);
}

std::int32_t Win32Registry::setValue(const RegistryKey& key, const std::wstring& name, const RegistryValue& value) {
    return RegSetValueExW(toHkey(key.handle()), name.c_str(), 0, static_cast<DWORD>(value.type), value.data.data(),
                          static_cast<DWORD>(value.data.size()));
}

std::int32_t Win32Registry::deleteValue(const RegistryKey& key, const std::wstring& name) {
    return RegDeleteValueW(toHkey(key.handle()), name.c_str());
}

std::int32_t Win32Registry::queryKeyInfo(const RegistryKey& key, RegistryKeyInfo& info) {
    DWORD subkeys = 0;
    DWORD values = 0;
    const LSTATUS status = RegQueryInfoKeyW(toHkey(key.handle()), nullptr, nullptr, nullptr, &subkeys, nullptr,
                                            nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        info.subkeyCount = subkeys;
        info.valueCount = values;
    }
    return status;
}

std::int32_t Win32Registry::enumKey(const RegistryKey& key, std::uint32_t index, std::uint32_t nameChars,
                                    std::wstring& name) {
    std::wstring buffer(nameChars, L'\0');
    DWORD length = nameChars;
    const LSTATUS status = RegEnumKeyExW(toHkey(key.handle()), index, buffer.data(), &length, nullptr, nullptr,
                                         nullptr, nullptr);
    if (status == ERROR_SUCCESS) {
        buffer.resize(length);
        name = std::move(buffer);
    }
    return status;
}

std::int32_t Win32Registry::enumValue(const RegistryKey& key, std::uint32_t index, std::wstring& name,
                                      RegistryValue& value) {
    std::wstring nameBuffer(kMaxValueNameChars, L'\0');
    DWORD nameLength = kMaxValueNameChars;
    DWORD dataSize = 0;
    LSTATUS status = RegEnumValueW(toHkey(key.handle()), index, nameBuffer.data(), &nameLength, nullptr, nullptr,
                                   nullptr, &dataSize);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::vector<std::uint8_t> data(dataSize);
    DWORD type = REG_NONE;
    nameLength = kMaxValueNameChars;
    status = RegEnumValueW(toHkey(key.handle()), index, nameBuffer.data(), &nameLength, nullptr, &type, data.data(),
                           &dataSize);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    nameBuffer.resize(nameLength);
    data.resize(dataSize);
    name = std::move(nameBuffer);
    value.type = static_cast<RegistryType>(type);
    value.data = std::move(data);
    return status;
}

std::int32_t Win32Registry::deleteKey(KeyParent parent, const std::wstring& subkey) {
    if (parent.view() == RegistryView::Force64) {
        if (const auto deleteKeyEx = systemFunction<RegDeleteKeyExWFunction>(L"advapi32.dll", "RegDeleteKeyExW")) {
            return deleteKeyEx(toHkey(parent.handle()), subkey.c_str(), KEY_WOW64_64KEY, 0);
        }
    }
    return RegDeleteKeyW(toHkey(parent.handle()), subkey.c_str());
}

std::int32_t Win32Registry::closeKey(std::intptr_t handle) { return RegCloseKey(toHkey(handle)); }

}  // namespace platform
