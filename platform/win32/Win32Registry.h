// The registry of the running Windows.
#pragma once

#include "platform/Registry.h"

namespace platform {

class Win32Registry : public Registry {
public:
    std::int32_t openKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) override;
    std::int32_t openKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access, RegistryView view,
                           RegistryKey& key) override;
    std::int32_t createKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) override;
    std::int32_t createKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access, RegistryView view,
                             RegistryKey& key) override;
    std::int32_t queryValue(const RegistryKey& key, const std::wstring& name, std::uint32_t bufferBytes,
                            RegistryValue& value) override;
    std::int32_t setString(const RegistryKey& key, const std::wstring& name, const std::wstring& text,
                           std::uint32_t byteCount) override;
    std::int32_t setDword(const RegistryKey& key, const std::wstring& name, std::uint32_t value) override;
    std::int32_t setValue(const RegistryKey& key, const std::wstring& name, const RegistryValue& value) override;
    std::int32_t deleteValue(const RegistryKey& key, const std::wstring& name) override;
    std::int32_t queryKeyInfo(const RegistryKey& key, RegistryKeyInfo& info) override;
    std::int32_t enumKey(const RegistryKey& key, std::uint32_t index, std::uint32_t nameChars,
                         std::wstring& name) override;
    std::int32_t enumValue(const RegistryKey& key, std::uint32_t index, std::wstring& name,
                           RegistryValue& value) override;
    std::int32_t deleteKey(KeyParent parent, const std::wstring& subkey) override;

protected:
    std::int32_t closeKey(std::intptr_t handle) override;
};

}  // namespace platform
