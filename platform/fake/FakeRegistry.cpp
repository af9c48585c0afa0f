#include "platform/fake/FakeRegistry.h"

#include <algorithm>

namespace platform {

namespace {

constexpr wchar_t kCurrentUser[] = L"HKEY_CURRENT_USER";
constexpr wchar_t kLocalMachine[] = L"HKEY_LOCAL_MACHINE";
constexpr wchar_t kRedirectedSoftware[] = L"WOW6432Node";

// Windows folds registry names to upper case; the installer's names are ASCII, so ASCII folding is enough.
std::wstring fold(const std::wstring& text) {
    std::wstring folded = text;
    for (wchar_t& character : folded) {
        if (character >= L'a' && character <= L'z') {
            character = static_cast<wchar_t>(character - L'a' + L'A');
        }
    }
    return folded;
}

std::vector<std::wstring> splitPath(const std::wstring& path) {
    std::vector<std::wstring> components;
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find(L'\\', start), path.size());
        if (end > start) {
            components.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return components;
}

std::intptr_t rootHandle(RegistryRoot root) { return KeyParent(root).handle(); }

}  // namespace

std::wstring FakeRegistry::Target::path() const {
    std::wstring full = startPath;
    for (const std::wstring& component : components) {
        full += L'\\';
        full += component;
    }
    return full;
}

FakeRegistry::FakeRegistry(Process process)
    : process_(process), currentUser_(std::make_shared<Node>()), localMachine_(std::make_shared<Node>()) {
    currentUser_->name = kCurrentUser;
    localMachine_->name = kLocalMachine;
}

FakeRegistry::~FakeRegistry() = default;

void FakeRegistry::failOn(Operation operation, const std::wstring& keyPath, std::int32_t error) {
    failures_.push_back({operation, fold(keyPath), L"", error});
}

void FakeRegistry::failOnValue(Operation operation, const std::wstring& keyPath, const std::wstring& valueName,
                               std::int32_t error) {
    failures_.push_back({operation, fold(keyPath), fold(valueName), error});
}

bool FakeRegistry::failing(Operation operation, const std::wstring& keyPath, const std::wstring& valueName,
                           std::int32_t& error) const {
    const std::wstring foldedPath = fold(keyPath);
    const std::wstring foldedName = fold(valueName);
    for (const Failure& failure : failures_) {
        if (failure.operation == operation && failure.keyPath == foldedPath &&
            (failure.valueName.empty() || failure.valueName == foldedName)) {
            error = failure.error;
            return true;
        }
    }
    return false;
}

void FakeRegistry::record(const std::wstring& api, const std::wstring& keyPath, const std::wstring& valueName,
                          std::uint32_t access, std::uint32_t byteCount) {
    calls_.push_back({api, keyPath, valueName, access, byteCount});
}

std::int32_t FakeRegistry::resolve(std::intptr_t parent, const std::wstring& subkey, RegistryView view,
                                   Target& target) const {
    target.components = splitPath(subkey);
    if (parent == rootHandle(RegistryRoot::CurrentUser)) {
        target.start = currentUser_;
        target.startPath = kCurrentUser;
        return kRegistrySuccess;
    }
    if (parent == rootHandle(RegistryRoot::LocalMachine)) {
        target.start = localMachine_;
        target.startPath = kLocalMachine;
        const bool redirected = process_ == Process::Wow64 && view == RegistryView::Default;
        if (redirected && !target.components.empty() && fold(target.components[0]) == L"SOFTWARE") {
            target.components.insert(target.components.begin() + 1, kRedirectedSoftware);
        }
        return kRegistrySuccess;
    }
    const auto found = handles_.find(parent);
    if (found == handles_.end()) {
        return kRegistryInvalidHandle;
    }
    if (found->second.node->deleted) {
        return kRegistryKeyDeleted;
    }
    target.start = found->second.node;
    target.startPath = found->second.path;
    return kRegistrySuccess;
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::walk(std::shared_ptr<Node> node,
                                                       const std::vector<std::wstring>& components, bool make) {
    for (const std::wstring& component : components) {
        if (!node) {
            return nullptr;
        }
        const std::wstring folded = fold(component);
        auto child = node->children.find(folded);
        if (child == node->children.end()) {
            if (!make) {
                return nullptr;
            }
            auto made = std::make_shared<Node>();
            made->name = component;
            child = node->children.emplace(folded, std::move(made)).first;
        }
        node = child->second;
    }
    return node;
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::storedRoot(const std::wstring& rootName) const {
    const std::wstring root = fold(rootName);
    return root == kCurrentUser ? currentUser_ : root == kLocalMachine ? localMachine_ : nullptr;
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::findStored(const std::wstring& keyPath) const {
    const std::vector<std::wstring> components = splitPath(keyPath);
    if (components.empty()) {
        return nullptr;
    }
    return walk(storedRoot(components.front()), {components.begin() + 1, components.end()}, false);
}

std::shared_ptr<FakeRegistry::Node> FakeRegistry::makeStored(const std::wstring& keyPath) {
    const std::vector<std::wstring> components = splitPath(keyPath);
    if (components.empty()) {
        return nullptr;
    }
    return walk(storedRoot(components.front()), {components.begin() + 1, components.end()}, true);
}

const FakeRegistry::Handle* FakeRegistry::lookup(const RegistryKey& key) const {
    const auto found = handles_.find(key.handle());
    return found == handles_.end() ? nullptr : &found->second;
}

RegistryKey FakeRegistry::newHandle(std::shared_ptr<Node> node, const std::wstring& path, RegistryView view) {
    const std::intptr_t handle = nextHandle_;
    nextHandle_ += 4;
    handles_[handle] = Handle{std::move(node), path};
    return adopt(handle, view);
}

void FakeRegistry::putKey(const std::wstring& keyPath) { makeStored(keyPath); }

void FakeRegistry::putString(const std::wstring& keyPath, const std::wstring& name, const std::wstring& text) {
    const std::shared_ptr<Node> node = makeStored(keyPath);
    if (!node) {
        return;
    }
    RegistryValue value{RegistryType::String, utf16Bytes(text)};
    for (auto& existing : node->values) {
        if (fold(existing.first) == fold(name)) {
            existing.second = std::move(value);
            return;
        }
    }
    node->values.emplace_back(name, std::move(value));
}

bool FakeRegistry::hasKey(const std::wstring& keyPath) const { return findStored(keyPath) != nullptr; }

bool FakeRegistry::readValue(const std::wstring& keyPath, const std::wstring& name, RegistryValue& value) const {
    const std::shared_ptr<Node> node = findStored(keyPath);
    if (!node) {
        return false;
    }
    for (const auto& existing : node->values) {
        if (fold(existing.first) == fold(name)) {
            value = existing.second;
            return true;
        }
    }
    return false;
}

std::vector<std::wstring> FakeRegistry::valueNames(const std::wstring& keyPath) const {
    std::vector<std::wstring> names;
    if (const std::shared_ptr<Node> node = findStored(keyPath)) {
        for (const auto& existing : node->values) {
            names.push_back(existing.first);
        }
    }
    return names;
}

std::vector<std::wstring> FakeRegistry::subkeyNames(const std::wstring& keyPath) const {
    std::vector<std::wstring> names;
    if (const std::shared_ptr<Node> node = findStored(keyPath)) {
        for (const auto& child : node->children) {
            names.push_back(child.second->name);
        }
    }
    return names;
}

std::int32_t FakeRegistry::refusedChange() const { return beforeChange ? beforeChange() : kRegistrySuccess; }

std::vector<std::wstring> FakeRegistry::contents() const {
    std::vector<std::wstring> lines;
    std::vector<std::pair<std::wstring, std::shared_ptr<Node>>> pending = {{L"HKEY_CURRENT_USER", currentUser_},
                                                                          {L"HKEY_LOCAL_MACHINE", localMachine_}};
    while (!pending.empty()) {
        const auto [path, node] = pending.back();
        pending.pop_back();
        lines.push_back(path);
        for (const auto& [name, value] : node->values) {
            std::wstring hex;
            for (const std::uint8_t byte : value.data) {
                static const wchar_t kHex[] = L"0123456789abcdef";
                hex += kHex[byte >> 4];
                hex += kHex[byte & 0xF];
            }
            lines.push_back(path + L" | " + name + L" | " + std::to_wstring(static_cast<std::uint32_t>(value.type)) +
                            L" | " + hex);
        }
        for (const auto& child : node->children) pending.emplace_back(path + L"\\" + child.second->name, child.second);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::int32_t FakeRegistry::resolveCall(const std::wstring& api, Operation operation, KeyParent parent,
                                       const std::wstring& subkey, std::uint32_t access, RegistryView view,
                                       Target& target) {
    std::int32_t status = resolve(parent.handle(), subkey, view, target);
    record(api, status == kRegistrySuccess ? target.path() : subkey, L"", access);
    if (status == kRegistrySuccess) {
        failing(operation, target.path(), L"", status);
    }
    return status;
}

std::int32_t FakeRegistry::open(const std::wstring& api, KeyParent parent, const std::wstring& subkey,
                                std::uint32_t access, RegistryView view, RegistryKey& key) {
    Target target;
    const std::int32_t status = resolveCall(api, Operation::Open, parent, subkey, access, view, target);
    if (status != kRegistrySuccess) {
        return status;
    }
    std::shared_ptr<Node> node = walk(target.start, target.components, false);
    if (!node) {
        return kRegistryNotFound;
    }
    key = newHandle(std::move(node), target.path(), view);
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::create(const std::wstring& api, KeyParent parent, const std::wstring& subkey,
                                  std::uint32_t access, RegistryView view, RegistryKey& key) {
    Target target;
    const std::int32_t status = resolveCall(api, Operation::Create, parent, subkey, access, view, target);
    if (status != kRegistrySuccess) {
        return status;
    }
    if (const std::int32_t refused = refusedChange()) {
        return refused;
    }
    key = newHandle(walk(target.start, target.components, true), target.path(), view);
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::openKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) {
    return open(L"RegOpenKeyW", parent, subkey, kMaximumAllowed, RegistryView::Default, key);
}

std::int32_t FakeRegistry::openKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                     RegistryView view, RegistryKey& key) {
    return open(L"RegOpenKeyExW", parent, subkey, accessMask(access, view), view, key);
}

std::int32_t FakeRegistry::createKey(KeyParent parent, const std::wstring& subkey, RegistryKey& key) {
    return create(L"RegCreateKeyW", parent, subkey, kMaximumAllowed, RegistryView::Default, key);
}

std::int32_t FakeRegistry::createKeyEx(KeyParent parent, const std::wstring& subkey, std::uint32_t access,
                                       RegistryView view, RegistryKey& key) {
    return create(L"RegCreateKeyExW", parent, subkey, accessMask(access, view), view, key);
}

std::int32_t FakeRegistry::queryValue(const RegistryKey& key, const std::wstring& name, std::uint32_t bufferBytes,
                                      RegistryValue& value) {
    const Handle* handle = lookup(key);
    record(L"RegQueryValueExW", handle ? handle->path : L"", name);
    if (!handle) {
        return kRegistryInvalidHandle;
    }
    if (handle->node->deleted) {
        return kRegistryKeyDeleted;
    }
    std::int32_t status = kRegistrySuccess;
    if (failing(Operation::QueryValue, handle->path, name, status)) {
        return status;
    }
    for (const auto& existing : handle->node->values) {
        if (fold(existing.first) == fold(name)) {
            if (existing.second.data.size() > bufferBytes) {
                return kRegistryMoreData;
            }
            value = existing.second;
            return kRegistrySuccess;
        }
    }
    return kRegistryNotFound;
}

std::int32_t FakeRegistry::setValue(const RegistryKey& key, const std::wstring& name, const RegistryValue& value) {
    const Handle* handle = lookup(key);
    record(L"RegSetValueExW", handle ? handle->path : L"", name, 0, static_cast<std::uint32_t>(value.data.size()));
    if (!handle) {
        return kRegistryInvalidHandle;
    }
    if (handle->node->deleted) {
        return kRegistryKeyDeleted;
    }
    std::int32_t status = kRegistrySuccess;
    if (failing(Operation::SetValue, handle->path, name, status)) {
        return status;
    }
    if (const std::int32_t refused = refusedChange()) {
        return refused;
    }
    for (auto& existing : handle->node->values) {
        if (fold(existing.first) == fold(name)) {
            existing.second = value;
            return kRegistrySuccess;
        }
    }
    handle->node->values.emplace_back(name, value);
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::setString(const RegistryKey& key, const std::wstring& name, const std::wstring& text,
                                     std::uint32_t byteCount) {
    std::vector<std::uint8_t> bytes = utf16Bytes(text);
    if (byteCount > bytes.size()) {
        record(L"RegSetValueExW", L"", name, 0, byteCount);
        return kRegistryInvalidParameter;
    }
    bytes.resize(byteCount);
    return setValue(key, name, RegistryValue{RegistryType::String, std::move(bytes)});
}

std::int32_t FakeRegistry::setDword(const RegistryKey& key, const std::wstring& name, std::uint32_t value) {
    std::vector<std::uint8_t> bytes = {static_cast<std::uint8_t>(value & 0xFF),
                                       static_cast<std::uint8_t>((value >> 8) & 0xFF),
                                       static_cast<std::uint8_t>((value >> 16) & 0xFF),
                                       static_cast<std::uint8_t>((value >> 24) & 0xFF)};
    return setValue(key, name, RegistryValue{RegistryType::Dword, std::move(bytes)});
}

std::int32_t FakeRegistry::deleteValue(const RegistryKey& key, const std::wstring& name) {
    const Handle* handle = lookup(key);
    record(L"RegDeleteValueW", handle ? handle->path : L"", name);
    if (!handle) {
        return kRegistryInvalidHandle;
    }
    auto& values = handle->node->values;
    const auto found = std::find_if(values.begin(), values.end(),
                                    [&](const auto& existing) { return fold(existing.first) == fold(name); });
    if (found == values.end()) {
        return kRegistryNotFound;
    }
    if (const std::int32_t refused = refusedChange()) {
        return refused;
    }
    values.erase(found);
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::queryKeyInfo(const RegistryKey& key, RegistryKeyInfo& info) {
    const Handle* handle = lookup(key);
    record(L"RegQueryInfoKeyW", handle ? handle->path : L"");
    if (!handle) {
        return kRegistryInvalidHandle;
    }
    std::int32_t status = kRegistrySuccess;
    if (failing(Operation::QueryInfo, handle->path, L"", status)) {
        return status;
    }
    info.subkeyCount = static_cast<std::uint32_t>(handle->node->children.size());
    info.valueCount = static_cast<std::uint32_t>(handle->node->values.size());
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::enumKey(const RegistryKey& key, std::uint32_t index, std::uint32_t nameChars,
                                   std::wstring& name) {
    const Handle* handle = lookup(key);
    record(L"RegEnumKeyExW", handle ? handle->path : L"");
    if (!handle) {
        return kRegistryInvalidHandle;
    }
    const auto& children = handle->node->children;
    if (index >= children.size()) {
        return kRegistryNoMoreItems;
    }
    const std::wstring& found = std::next(children.begin(), index)->second->name;
    if (utf16Length(found) + 1 > nameChars) {
        return kRegistryMoreData;
    }
    name = found;
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::enumValue(const RegistryKey& key, std::uint32_t index, std::wstring& name,
                                     RegistryValue& value) {
    const Handle* handle = lookup(key);
    record(L"RegEnumValueW", handle ? handle->path : L"");
    if (!handle) {
        return kRegistryInvalidHandle;
    }
    const auto& values = handle->node->values;
    if (index >= values.size()) {
        return kRegistryNoMoreItems;
    }
    name = values[index].first;
    value = values[index].second;
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::deleteKey(KeyParent parent, const std::wstring& subkey) {
    Target target;
    const bool named64 = parent.view() == RegistryView::Force64;
    const std::int32_t status =
        resolveCall(named64 ? L"RegDeleteKeyExW" : L"RegDeleteKeyW", Operation::DeleteKey, parent, subkey,
                    named64 ? kKeyWow64_64Key : 0, parent.view(), target);
    if (status != kRegistrySuccess) {
        return status;
    }
    if (target.components.empty()) {
        return kRegistryInvalidParameter;
    }
    if (const std::int32_t refused = refusedChange()) {
        return refused;
    }
    const std::wstring last = target.components.back();
    target.components.pop_back();
    const std::shared_ptr<Node> parentNode = walk(target.start, target.components, false);
    if (!parentNode) {
        return kRegistryNotFound;
    }
    const auto child = parentNode->children.find(fold(last));
    if (child == parentNode->children.end()) {
        return kRegistryNotFound;
    }
    if (!child->second->children.empty()) {
        return kRegistryAccessDenied;
    }
    child->second->deleted = true;
    parentNode->children.erase(child);
    return kRegistrySuccess;
}

std::int32_t FakeRegistry::closeKey(std::intptr_t handle) {
    const auto found = handles_.find(handle);
    record(L"RegCloseKey", found == handles_.end() ? L"" : found->second.path);
    if (found == handles_.end()) {
        return kRegistryInvalidHandle;
    }
    handles_.erase(found);
    return kRegistrySuccess;
}

}  // namespace platform
