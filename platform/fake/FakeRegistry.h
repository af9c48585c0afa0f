// An in-memory registry for native tests that behaves like Windows where the installer depends on it:
//   - key and value names compare ignoring case, and keep the case they were first written with;
//   - subkeys enumerate in a stable order (sorted ignoring case, as Windows does), values in the order they
//     were first written; a rewritten value keeps its place;
//   - string data is stored with exactly the byte count written (UTF-16 little-endian bytes);
//   - RegDeleteKeyW refuses a key that has subkeys; under a key opened in the 64-bit view the delete is
//     recorded as RegDeleteKeyExW with KEY_WOW64_64KEY;
//   - as a 32-bit process on 64-bit Windows (the default), HKEY_LOCAL_MACHINE\SOFTWARE in the default view
//     is redirected to SOFTWARE\WOW6432Node, while the 64-bit view reaches SOFTWARE itself (the few subkeys
//     that Windows shares between the views are not singled out);
//   - chosen operations on chosen keys fail with a chosen error code.
// Tests address keys by their stored path, e.g. "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft".
// Every call is recorded (API name, key path, value name, access mask, byte count) in order.
#pragma once

#include "platform/Registry.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

class FakeRegistry final : public Registry {
public:
    enum class Process {
        Wow64,   // a 32-bit process on 64-bit Windows: the default view of HKLM\SOFTWARE is redirected
        Native,  // a process as wide as the system: one view
    };
    enum class Operation { Open, Create, QueryValue, SetValue, QueryInfo, DeleteKey };

    struct Call {
        std::wstring api;        // "RegOpenKeyW", "RegCreateKeyExW", "RegSetValueExW", ...
        std::wstring keyPath;    // the key's stored path; for RegCloseKey the path of the key closed
        std::wstring valueName;  // for value calls
        std::uint32_t access = 0;     // for open, create and RegDeleteKeyExW calls: the mask passed to Windows
        std::uint32_t byteCount = 0;  // for RegSetValueExW
    };

    explicit FakeRegistry(Process process = Process::Wow64);
    ~FakeRegistry() override;

    // Failure injection: the operation on the key at keyPath (and, for value operations, on valueName when
    // one is given) answers error instead of doing anything.
    void failOn(Operation operation, const std::wstring& keyPath, std::int32_t error = kRegistryAccessDenied);
    void failOnValue(Operation operation, const std::wstring& keyPath, const std::wstring& valueName,
                     std::int32_t error = kRegistryAccessDenied);
    // Asked before every call that would change the registry (create, set, delete); a nonzero answer is that
    // call's error and nothing changes. A test counts the changes with it, fails one, or ends the run there.
    std::function<std::int32_t()> beforeChange;

    // Seeding and inspection by stored path, without recording calls.
    void putKey(const std::wstring& keyPath);
    void putString(const std::wstring& keyPath, const std::wstring& name, const std::wstring& text);
    bool hasKey(const std::wstring& keyPath) const;
    bool readValue(const std::wstring& keyPath, const std::wstring& name, RegistryValue& value) const;
    std::vector<std::wstring> valueNames(const std::wstring& keyPath) const;
    std::vector<std::wstring> subkeyNames(const std::wstring& keyPath) const;
    // Every key and value of both roots, one line each ("PATH" for a key, "PATH | NAME | TYPE | HEX DATA" for a
    // value), sorted: two registries with the same contents give the same lines, whatever order they were
    // written in.
    std::vector<std::wstring> contents() const;

    const std::vector<Call>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }
    std::size_t openHandleCount() const { return handles_.size(); }

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

private:
    struct Node {
        std::wstring name;
        std::map<std::wstring, std::shared_ptr<Node>> children;  // by folded name: the enumeration order
        std::vector<std::pair<std::wstring, RegistryValue>> values;
        bool deleted = false;
    };
    struct Handle {
        std::shared_ptr<Node> node;
        std::wstring path;
    };
    // A key path resolved from a parent: the node to start from, its path, and the components below it.
    struct Target {
        std::shared_ptr<Node> start;
        std::wstring startPath;
        std::vector<std::wstring> components;
        std::wstring path() const;
    };
    struct Failure {
        Operation operation;
        std::wstring keyPath;    // folded
        std::wstring valueName;  // folded; empty for any value
        std::int32_t error;
    };

    std::int32_t resolve(std::intptr_t parent, const std::wstring& subkey, RegistryView view, Target& target) const;
    // Walks the components down from node, making missing keys when asked; null when one is missing.
    static std::shared_ptr<Node> walk(std::shared_ptr<Node> node, const std::vector<std::wstring>& components,
                                      bool make);
    std::shared_ptr<Node> storedRoot(const std::wstring& rootName) const;
    std::shared_ptr<Node> findStored(const std::wstring& keyPath) const;
    std::shared_ptr<Node> makeStored(const std::wstring& keyPath);
    const Handle* lookup(const RegistryKey& key) const;
    // What beforeChange answers; success without one.
    std::int32_t refusedChange() const;
    bool failing(Operation operation, const std::wstring& keyPath, const std::wstring& valueName,
                 std::int32_t& error) const;
    // Resolves and records a key call, and answers an injected failure for it.
    std::int32_t resolveCall(const std::wstring& api, Operation operation, KeyParent parent,
                             const std::wstring& subkey, std::uint32_t access, RegistryView view, Target& target);
    std::int32_t open(const std::wstring& api, KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                      RegistryView view, RegistryKey& key);
    std::int32_t create(const std::wstring& api, KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                        RegistryView view, RegistryKey& key);
    RegistryKey newHandle(std::shared_ptr<Node> node, const std::wstring& path, RegistryView view);
    void record(const std::wstring& api, const std::wstring& keyPath, const std::wstring& valueName = L"",
                std::uint32_t access = 0, std::uint32_t byteCount = 0);

    Process process_;
    std::shared_ptr<Node> currentUser_;
    std::shared_ptr<Node> localMachine_;
    std::map<std::intptr_t, Handle> handles_;
    std::intptr_t nextHandle_ = 0x1000;
    std::vector<Failure> failures_;
    std::vector<Call> calls_;
};

}  // namespace platform
