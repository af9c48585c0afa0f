#include "platform/fake/FakeDirectoryWalk.h"

namespace platform {
namespace {

std::wstring parentOf(const std::wstring& path) {
    const std::size_t separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

}  // namespace

std::optional<std::vector<DirectoryEntry>> FakeDirectoryWalk::entries(const std::wstring& folder) {
    const auto found = nodes.find(folder);
    // A link lists what its target holds, which the tree keeps under the link's path.
    if (found == nodes.end() || found->second == Kind::File) return std::nullopt;
    std::vector<DirectoryEntry> list = {{L".", true, false}, {L"..", true, false}};
    for (const auto& [path, kind] : nodes) {
        if (parentOf(path) != folder) continue;
        list.push_back({path.substr(folder.size() + 1), kind != Kind::File, kind == Kind::Link});
    }
    return list;
}

bool FakeDirectoryWalk::exists(const std::wstring& path) { return nodes.count(path) != 0; }

bool FakeDirectoryWalk::isDirectory(const std::wstring& path) {
    const auto found = nodes.find(path);
    return found != nodes.end() && found->second != Kind::File;
}

bool FakeDirectoryWalk::deleteFile(const std::wstring& path) {
    removals.push_back(L"delete " + path);
    const auto found = nodes.find(path);
    if (found == nodes.end() || found->second != Kind::File || locked.count(path) != 0 || mapped.count(path) != 0) {
        return false;
    }
    nodes.erase(found);
    return true;
}

bool FakeDirectoryWalk::moveFile(const std::wstring& from, const std::wstring& to) {
    removals.push_back(L"move " + from + L" to " + to);
    const auto found = nodes.find(from);
    if (found == nodes.end() || found->second != Kind::File || locked.count(from) != 0 || nodes.count(to) != 0 ||
        nodes.count(parentOf(to)) == 0) {
        return false;
    }
    nodes.erase(found);
    nodes[to] = Kind::File;
    if (mapped.erase(from) != 0) mapped.insert(to);
    return true;
}

bool FakeDirectoryWalk::replaceFile(const std::wstring& from, const std::wstring& to) {
    removals.push_back(L"replace " + from + L" over " + to);
    const auto found = nodes.find(from);
    const auto target = nodes.find(to);
    if (found == nodes.end() || found->second != Kind::File || locked.count(from) != 0 ||
        nodes.count(parentOf(to)) == 0) {
        return false;
    }
    if (target != nodes.end() && (target->second != Kind::File || locked.count(to) != 0 || mapped.count(to) != 0)) {
        return false;
    }
    nodes.erase(found);
    nodes[to] = Kind::File;
    if (mapped.erase(from) != 0) mapped.insert(to);
    return true;
}

bool FakeDirectoryWalk::deleteAtRestart(const std::wstring& path) {
    removals.push_back(L"delete at restart " + path);
    restartDeletions.push_back(path);
    return true;
}

bool FakeDirectoryWalk::replaceAtRestart(const std::wstring& from, const std::wstring& to) {
    removals.push_back(L"replace at restart " + from + L" over " + to);
    restartReplacements.emplace_back(from, to);
    return true;
}

bool FakeDirectoryWalk::createDirectory(const std::wstring& path) {
    removals.push_back(L"mkdir " + path);
    if (nodes.count(path) != 0 || nodes.count(parentOf(path)) == 0) return false;
    nodes[path] = Kind::Directory;
    return true;
}

bool FakeDirectoryWalk::removeDirectory(const std::wstring& path) {
    removals.push_back(L"rmdir " + path);
    const auto found = nodes.find(path);
    if (found == nodes.end() || found->second == Kind::File || locked.count(path) != 0) return false;
    if (found->second == Kind::Directory && hasChildren(path)) return false;
    nodes.erase(found);
    return true;
}

void FakeDirectoryWalk::addFile(const std::wstring& path) {
    addParents(path);
    nodes[path] = Kind::File;
}

void FakeDirectoryWalk::addDirectory(const std::wstring& path) {
    addParents(path);
    nodes[path] = Kind::Directory;
}

void FakeDirectoryWalk::addLink(const std::wstring& path) {
    addParents(path);
    nodes[path] = Kind::Link;
}

void FakeDirectoryWalk::addParents(const std::wstring& path) {
    for (std::wstring parent = parentOf(path); !parent.empty() && nodes.count(parent) == 0; parent = parentOf(parent)) {
        nodes[parent] = Kind::Directory;
    }
}

bool FakeDirectoryWalk::hasChildren(const std::wstring& folder) const {
    for (const auto& entry : nodes) {
        if (parentOf(entry.first) == folder) return true;
    }
    return false;
}

}  // namespace platform
