#include "system/JournaledRegistry.h"

#include <string>
#include <vector>

namespace {

using platform::KeyParent;
using platform::Registry;
using platform::RegistryKey;
using platform::RegistryRoot;
using platform::RegistryValue;
using platform::RegistryView;
using platform::kRegistryAccessDenied;
using platform::kRegistryMoreData;
using platform::kRegistryNotFound;
using platform::kRegistrySuccess;

constexpr wchar_t kValueRecord[] = L"reg-value";
constexpr wchar_t kDeletedKeyRecord[] = L"reg-key-deleted";
constexpr wchar_t kCreatedKeyRecord[] = L"reg-key-created";
constexpr wchar_t kAbsent[] = L"absent";

// A value's data is read whole, however long: the buffer grows until it fits, up to what Windows allows a value.
constexpr std::uint32_t kFirstValueBuffer = 4096;
constexpr std::uint32_t kLargestValue = 64u * 1024 * 1024;

std::intptr_t rootHandle(RegistryRoot root) { return static_cast<std::intptr_t>(static_cast<std::int32_t>(root)); }

bool isRoot(std::intptr_t handle, RegistryRoot& root) {
    for (const RegistryRoot candidate : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
        if (handle == rootHandle(candidate)) {
            root = candidate;
            return true;
        }
    }
    return false;
}

std::wstring rootName(RegistryRoot root) { return root == RegistryRoot::LocalMachine ? L"HKLM" : L"HKCU"; }
std::wstring viewName(RegistryView view) { return view == RegistryView::Force64 ? L"64" : L"default"; }

// A value as two fields: its type, and its data in hexadecimal; "absent" and nothing for none.
void appendValueFields(std::vector<std::wstring>& fields, const RegistryValue* value) {
    fields.push_back(value ? std::to_wstring(static_cast<std::uint32_t>(value->type)) : kAbsent);
    fields.push_back(value ? hexField(value->data) : std::wstring());
}

bool valueOfFields(const std::wstring& type, const std::wstring& data, RegistryValue& value) {
    std::uint32_t number = 0;
    if (!decimalField(type, number) || !bytesOfHexField(data, value.data)) return false;
    value.type = static_cast<platform::RegistryType>(number);
    return true;
}

// A value read whole: kRegistryNotFound when there is none.
std::int32_t readWholeValue(Registry& registry, const RegistryKey& key, const std::wstring& name,
                            RegistryValue& value) {
    std::int32_t status = kRegistryMoreData;
    for (std::uint32_t buffer = kFirstValueBuffer; status == kRegistryMoreData && buffer <= kLargestValue;
         buffer *= 4) {
        status = registry.queryValue(key, name, buffer, value);
    }
    return status;
}

// Where a record says its key lies.
struct RecordedKey {
    RegistryRoot root = RegistryRoot::CurrentUser;
    RegistryView view = RegistryView::Default;
    std::wstring path;
};

bool recordedKey(const JournalRecord& record, RecordedKey& key) {
    if (record.fields.size() < 3) return false;
    const std::wstring& root = record.fields[0];
    const std::wstring& view = record.fields[1];
    if ((root != L"HKLM" && root != L"HKCU") || (view != L"64" && view != L"default")) return false;
    key.root = root == L"HKLM" ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    key.view = view == L"64" ? RegistryView::Force64 : RegistryView::Default;
    key.path = record.fields[2];
    return !key.path.empty();
}

std::wstring describe(const RecordedKey& key) { return rootName(key.root) + L"\\" + key.path; }

// Deletes the key and everything below it, the deepest first (a key with subkeys cannot be deleted).
bool deleteKeyTree(Registry& registry, const RecordedKey& key) {
    {
        RegistryKey open;
        if (registry.openKeyEx(key.root, key.path, platform::kKeyRead, key.view, open) != kRegistrySuccess) {
            return true;
        }
        std::vector<std::wstring> subkeys;
        std::wstring name;
        for (std::uint32_t index = 0; registry.enumKey(open, index, 256, name) == kRegistrySuccess; ++index) {
            subkeys.push_back(name);
        }
        for (const std::wstring& subkey : subkeys) {
            if (!deleteKeyTree(registry, {key.root, key.view, key.path + L"\\" + subkey})) return false;
        }
    }
    const std::size_t cut = key.path.rfind(L'\\');
    if (cut == std::wstring::npos) return registry.deleteKey(key.root, key.path) == kRegistrySuccess;
    RegistryKey parent;
    return registry.openKeyEx(key.root, key.path.substr(0, cut), platform::kKeyAllAccess, key.view, parent) ==
               kRegistrySuccess &&
           registry.deleteKey(parent, key.path.substr(cut + 1)) == kRegistrySuccess;
}

bool undoValue(Registry& registry, const JournalRecord& record, const RecordedKey& key, InstallLog& log) {
    RegistryKey open;
    RegistryValue value;
    const bool absent = record.fields[4] == kAbsent;
    bool restored = registry.openKeyEx(key.root, key.path, platform::kKeyAllAccess, key.view, open) ==
                    kRegistrySuccess;
    if (restored && absent) {
        const std::int32_t status = registry.deleteValue(open, record.fields[3]);
        restored = status == kRegistrySuccess || status == kRegistryNotFound;
    } else if (restored) {
        restored = valueOfFields(record.fields[4], record.fields[5], value) &&
                   registry.setValue(open, record.fields[3], value) == kRegistrySuccess;
    }
    if (!restored) log.writeLogLine(L"Registry value not put back: %s, %s", {describe(key), record.fields[3]});
    return restored;
}

bool undoDeletedKey(Registry& registry, const JournalRecord& record, const RecordedKey& key, InstallLog& log) {
    RegistryKey open;
    bool restored = registry.createKeyEx(key.root, key.path, platform::kKeyAllAccess, key.view, open) ==
                    kRegistrySuccess;
    for (std::size_t at = 3; restored && at + 2 < record.fields.size(); at += 3) {
        RegistryValue value;
        restored = valueOfFields(record.fields[at + 1], record.fields[at + 2], value) &&
                   registry.setValue(open, record.fields[at], value) == kRegistrySuccess;
    }
    if (!restored) log.writeLogLine(L"Registry key not put back: %s", {describe(key)});
    return restored;
}

}  // namespace

JournaledRegistry::JournaledRegistry(Registry& registry, ChangeRecorder& changes)
    : registry_(registry), changes_(changes) {}

JournaledRegistry::~JournaledRegistry() = default;

JournaledRegistry::KeyPlace JournaledRegistry::placeBelow(KeyParent parent, const std::wstring& subkey,
                                                          RegistryView view) const {
    RegistryRoot root = RegistryRoot::CurrentUser;
    if (isRoot(parent.handle(), root)) return {root, view, subkey};
    const auto found = keys_.find(parent.handle());
    if (found == keys_.end()) return {root, view, subkey};
    const KeyPlace& above = found->second.place;
    // A key below one in the 64-bit view is in that view, whatever its own call asks.
    const RegistryView below = above.view == RegistryView::Force64 ? RegistryView::Force64 : view;
    return {above.root, below, subkey.empty() ? above.path : above.path + L"\\" + subkey};
}

KeyParent JournaledRegistry::inner(KeyParent parent) const {
    const auto found = keys_.find(parent.handle());
    return found == keys_.end() ? parent : KeyParent(found->second.key);
}

const RegistryKey& JournaledRegistry::inner(const RegistryKey& key) const {
    static const RegistryKey none;
    const auto found = keys_.find(key.handle());
    return found == keys_.end() ? none : found->second.key;
}

std::int32_t JournaledRegistry::adoptOpened(std::int32_t status, RegistryKey& opened, const KeyPlace& place,
                                            RegistryKey& key) {
    if (status != kRegistrySuccess) return status;
    const std::intptr_t handle = opened.handle();
    keys_[handle] = OpenKey{std::move(opened), place};
    key = adopt(handle, place.view);
    return status;
}

std::int32_t JournaledRegistry::openKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) {
    RegistryKey opened;
    const std::int32_t status = registry_.openKey(inner(parent), subkey, opened);
    return adoptOpened(status, opened, placeBelow(parent, subkey, RegistryView::Default), key);
}

std::int32_t JournaledRegistry::openKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                          RegistryView view, RegistryKey& key) {
    RegistryKey opened;
    const std::int32_t status = registry_.openKeyEx(inner(parent), subkey, access, view, opened);
    return adoptOpened(status, opened, placeBelow(parent, subkey, view), key);
}

std::int32_t JournaledRegistry::createKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) {
    if (!recordCreation(parent, subkey, RegistryView::Default)) return kRegistryAccessDenied;
    RegistryKey created;
    const std::int32_t status = registry_.createKey(inner(parent), subkey, created);
    return adoptOpened(status, created, placeBelow(parent, subkey, RegistryView::Default), key);
}

std::int32_t JournaledRegistry::createKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                            RegistryView view, RegistryKey& key) {
    if (!recordCreation(parent, subkey, view)) return kRegistryAccessDenied;
    RegistryKey created;
    const std::int32_t status = registry_.createKeyEx(inner(parent), subkey, access, view, created);
    return adoptOpened(status, created, placeBelow(parent, subkey, view), key);
}

std::int32_t JournaledRegistry::queryValue(const RegistryKey& key, const std::wstring& name,
                                           std::uint32_t bufferBytes, RegistryValue& value) {
    return registry_.queryValue(inner(key), name, bufferBytes, value);
}

std::int32_t JournaledRegistry::setString(const RegistryKey& key, const std::wstring& name, const std::wstring& text,
                                          std::uint32_t byteCount) {
    if (!recordValue(key, name)) return kRegistryAccessDenied;
    return registry_.setString(inner(key), name, text, byteCount);
}

std::int32_t JournaledRegistry::setDword(const RegistryKey& key, const std::wstring& name, std::uint32_t value) {
    if (!recordValue(key, name)) return kRegistryAccessDenied;
    return registry_.setDword(inner(key), name, value);
}

std::int32_t JournaledRegistry::setValue(const RegistryKey& key, const std::wstring& name,
                                         const RegistryValue& value) {
    if (!recordValue(key, name)) return kRegistryAccessDenied;
    return registry_.setValue(inner(key), name, value);
}

std::int32_t JournaledRegistry::deleteValue(const RegistryKey& key, const std::wstring& name) {
    if (!recordValue(key, name)) return kRegistryAccessDenied;
    return registry_.deleteValue(inner(key), name);
}

std::int32_t JournaledRegistry::queryKeyInfo(const RegistryKey& key, platform::RegistryKeyInfo& info) {
    return registry_.queryKeyInfo(inner(key), info);
}

std::int32_t JournaledRegistry::enumKey(const RegistryKey& key, std::uint32_t index, std::uint32_t nameChars,
                                        std::wstring& name) {
    return registry_.enumKey(inner(key), index, nameChars, name);
}

std::int32_t JournaledRegistry::enumValue(const RegistryKey& key, std::uint32_t index, std::wstring& name,
                                          RegistryValue& value) {
    return registry_.enumValue(inner(key), index, name, value);
}

std::int32_t JournaledRegistry::deleteKey(KeyParent parent, const std::wstring& subkey) {
    const KeyPlace place = placeBelow(parent, subkey, parent.view());
    RegistryKey doomed;
    if (registry_.openKeyEx(inner(parent), subkey, platform::kKeyRead, place.view, doomed) == kRegistrySuccess) {
        JournalRecord record{kDeletedKeyRecord, {rootName(place.root), viewName(place.view), place.path}};
        std::wstring name;
        RegistryValue value;
        for (std::uint32_t index = 0; registry_.enumValue(doomed, index, name, value) == kRegistrySuccess; ++index) {
            record.fields.push_back(name);
            appendValueFields(record.fields, &value);
        }
        doomed.close();
        if (!changes_.record(record)) return kRegistryAccessDenied;
    }
    return registry_.deleteKey(inner(parent), subkey);
}

std::int32_t JournaledRegistry::closeKey(std::intptr_t handle) {
    return keys_.erase(handle) != 0 ? kRegistrySuccess : platform::kRegistryInvalidHandle;
}

bool JournaledRegistry::recordValue(const RegistryKey& key, const std::wstring& name) {
    const auto found = keys_.find(key.handle());
    if (found == keys_.end()) return false;
    const KeyPlace& place = found->second.place;
    RegistryValue value;
    const std::int32_t status = readWholeValue(registry_, found->second.key, name, value);
    if (status != kRegistrySuccess && status != kRegistryNotFound) return false;
    JournalRecord record{kValueRecord, {rootName(place.root), viewName(place.view), place.path, name}};
    appendValueFields(record.fields, status == kRegistrySuccess ? &value : nullptr);
    return changes_.record(record);
}

bool JournaledRegistry::recordCreation(KeyParent parent, const std::wstring& subkey, RegistryView view) {
    // The uppermost key of the path that is missing is the one undo deletes, with all below it.
    for (std::size_t end = 0; end != std::wstring::npos;) {
        end = subkey.find(L'\\', end + 1);
        const std::wstring prefix = subkey.substr(0, end);
        const KeyPlace place = placeBelow(parent, prefix, view);
        RegistryKey probe;
        if (registry_.openKeyEx(inner(parent), prefix, platform::kKeyRead, place.view, probe) == kRegistryNotFound) {
            return changes_.record({kCreatedKeyRecord, {rootName(place.root), viewName(place.view), place.path}});
        }
    }
    return true;
}

bool JournaledRegistry::writes(const std::wstring& kind) {
    return kind == kValueRecord || kind == kDeletedKeyRecord || kind == kCreatedKeyRecord;
}

bool JournaledRegistry::undo(Registry& registry, const JournalRecord& record, InstallLog& log) {
    RecordedKey key;
    if (!recordedKey(record, key) || (record.kind == kValueRecord && record.fields.size() != 6) ||
        (record.kind == kDeletedKeyRecord && record.fields.size() % 3 != 0)) {
        log.writeLogLine(L"Registry record not understood: %s", {record.kind});
        return false;
    }
    if (record.kind == kValueRecord) return undoValue(registry, record, key, log);
    if (record.kind == kDeletedKeyRecord) return undoDeletedKey(registry, record, key, log);
    if (deleteKeyTree(registry, key)) return true;
    log.writeLogLine(L"Registry key not removed: %s", {describe(key)});
    return false;
}
