// The registry as the install's steps change it: before a key is created or deleted, or a value is written or
// deleted, what was there is written down, so that undoing the install puts it back exactly (type and bytes).
// Reads pass straight through.
//
// Records, with the key named by its root ("HKLM" or "HKCU"), its view ("default" or "64") and its path:
//     reg-value        ROOT VIEW PATH NAME TYPE DATA   the value before it was written or deleted; TYPE
//                                                      "absent" when there was none, DATA in hexadecimal
//     reg-key-deleted  ROOT VIEW PATH [NAME TYPE DATA]...   the key's values before it was deleted
//     reg-key-created  ROOT VIEW PATH                  the uppermost key that a create call made
#pragma once

#include "engine/ChangeJournal.h"
#include "platform/Registry.h"

#include <map>

class JournaledRegistry final : public platform::Registry {
public:
    // Both must outlive this object.
    JournaledRegistry(platform::Registry& registry, ChangeRecorder& changes);
    ~JournaledRegistry() override;

    std::int32_t openKey(platform::KeyParent parent, const std::wstring& subkey, platform::RegistryKey& key) override;
    std::int32_t openKeyEx(platform::KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                           platform::RegistryView view, platform::RegistryKey& key) override;
    std::int32_t createKey(platform::KeyParent parent, const std::wstring& subkey, platform::RegistryKey& key) override;
    std::int32_t createKeyEx(platform::KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                             platform::RegistryView view, platform::RegistryKey& key) override;
    std::int32_t queryValue(const platform::RegistryKey& key, const std::wstring& name, std::uint32_t bufferBytes,
                            platform::RegistryValue& value) override;
    std::int32_t setString(const platform::RegistryKey& key, const std::wstring& name, const std::wstring& text,
                           std::uint32_t byteCount) override;
    std::int32_t setDword(const platform::RegistryKey& key, const std::wstring& name, std::uint32_t value) override;
    std::int32_t setValue(const platform::RegistryKey& key, const std::wstring& name,
                          const platform::RegistryValue& value) override;
    std::int32_t deleteValue(const platform::RegistryKey& key, const std::wstring& name) override;
    std::int32_t queryKeyInfo(const platform::RegistryKey& key, platform::RegistryKeyInfo& info) override;
    std::int32_t enumKey(const platform::RegistryKey& key, std::uint32_t index, std::uint32_t nameChars,
                         std::wstring& name) override;
    std::int32_t enumValue(const platform::RegistryKey& key, std::uint32_t index, std::wstring& name,
                           platform::RegistryValue& value) override;
    std::int32_t deleteKey(platform::KeyParent parent, const std::wstring& subkey) override;

    // True for the kinds of record this writes.
    static bool writes(const std::wstring& kind);
    // Puts back what the record saved; false when it cannot (the log says what).
    static bool undo(platform::Registry& registry, const JournalRecord& record, InstallLog& log);

protected:
    std::int32_t closeKey(std::intptr_t handle) override;

private:
    // Where a key lies: what undo needs to open it again from its root.
    struct KeyPlace {
        platform::RegistryRoot root;
        platform::RegistryView view;
        std::wstring path;
    };
    struct OpenKey {
        platform::RegistryKey key;
        KeyPlace place;
    };

    // The place of a key opened from a parent, and the parent as the wrapped registry knows it.
    KeyPlace placeBelow(platform::KeyParent parent, const std::wstring& subkey, platform::RegistryView view) const;
    platform::KeyParent inner(platform::KeyParent parent) const;
    const platform::RegistryKey& inner(const platform::RegistryKey& key) const;
    std::int32_t adoptOpened(std::int32_t status, platform::RegistryKey& opened, const KeyPlace& place,
                             platform::RegistryKey& key);
    bool recordValue(const platform::RegistryKey& key, const std::wstring& name);
    bool recordCreation(platform::KeyParent parent, const std::wstring& subkey, platform::RegistryView view);

    platform::Registry& registry_;
    ChangeRecorder& changes_;
    std::map<std::intptr_t, OpenKey> keys_;
};
