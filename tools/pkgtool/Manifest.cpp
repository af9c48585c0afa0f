#include "tools/pkgtool/Manifest.h"

#include "engine/FilePlacement.h"
#include "platform/TextCompare.h"
#include "tools/pkgtool/Text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>

namespace pkgtool {

namespace {

using nlohmann::json;

bool readWhole(const std::filesystem::path& path, Bytes& bytes) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool stringField(const json& object, const char* key, std::string& value) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) {
        return false;
    }
    value = found->get<std::string>();
    return true;
}

bool headerField(const json& root, const char* key, std::string& error, std::string& value) {
    if (!stringField(root, key, value)) {
        error = std::string("manifest: \"") + key + "\" is missing or not a string";
        return false;
    }
    return true;
}

bool loadHeader(const json& root, Manifest& manifest, std::string& error) {
    std::string text;
    const std::pair<const char*, PackageGuid*> guids[] = {{"productCode", &manifest.productCode},
                                                           {"upgradeCode", &manifest.upgradeCode}};
    for (const auto& [key, guid] : guids) {
        if (!headerField(root, key, error, text)) {
            return false;
        }
        if (!parseGuid(text, *guid)) {
            error = std::string("manifest: \"") + key + "\" is not a braced GUID: " + text;
            return false;
        }
    }
    const std::pair<const char*, PackageVersion*> versions[] = {{"productVersion", &manifest.productVersion},
                                                                 {"imeVersion", &manifest.imeVersion},
                                                                 {"textServiceVersion", &manifest.textServiceVersion}};
    for (const auto& [key, version] : versions) {
        if (!headerField(root, key, error, text)) {
            return false;
        }
        if (!parseVersion(text, *version)) {
            error = std::string("manifest: \"") + key + "\" is not four dotted numbers: " + text;
            return false;
        }
    }
    return true;
}

// Case folded as Windows compares file names (ASCII letters here).
std::wstring foldedName(const std::wstring& name) {
    std::wstring folded = name;
    std::transform(folded.begin(), folded.end(), folded.begin(), platform::foldAsciiCase);
    return folded;
}

bool loadFile(const json& item, const std::string& label, const std::filesystem::path& folder, PackageFile& file,
              std::string& error) {
    std::string source;
    std::string name;
    if (!item.is_object()) {
        error = label + ": not an object";
        return false;
    }
    if (!stringField(item, "source", source)) {
        error = label + ": \"source\" is missing or not a string";
        return false;
    }
    if (!stringField(item, "name", name)) {
        error = label + ": \"name\" is missing or not a string";
        return false;
    }
    const auto kind = item.find("kind");
    if (kind == item.end() || !kind->is_number_integer()) {
        error = label + ": \"kind\" is missing or not an integer";
        return false;
    }
    const auto kindValue = kind->get<long long>();
    if (kindValue < 0 || kindValue >= static_cast<long long>(DESTINATION_COUNT)) {
        error = label + ": unknown kind " + std::to_string(kindValue) + " (0 to 9)";
        return false;
    }
    const auto verify = item.find("verify");
    if (verify == item.end() || !verify->is_boolean()) {
        error = label + ": \"verify\" is missing or not true/false";
        return false;
    }
    PackageEntry entry;
    std::wstring checked;
    entry.kind = static_cast<DestinationKind>(kindValue);
    if (!wideFromUtf8(name, file.name) || !encodeEntryName(file.name, entry.name) ||
        !entryRelativePath(entry, checked)) {
        error = label + ": the installer would refuse the name \"" + name + "\"";
        return false;
    }
    file.kind = entry.kind;
    file.verify = verify->get<bool>();
    if (!readWhole(folder / source, file.content)) {
        error = label + ": cannot read source " + (folder / source).string();
        return false;
    }
    return true;
}

}  // namespace

bool loadManifest(const std::filesystem::path& path, Manifest& manifest, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "manifest: cannot read " + path.string();
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const json root = json::parse(text, nullptr, false);
    if (root.is_discarded() || !root.is_object()) {
        error = "manifest: not a JSON object: " + path.string();
        return false;
    }
    if (!loadHeader(root, manifest, error)) {
        return false;
    }
    const auto files = root.find("files");
    if (files == root.end() || !files->is_array() || files->empty()) {
        error = "manifest: \"files\" is missing, not a list, or empty";
        return false;
    }
    const std::filesystem::path folder = path.parent_path();
    std::set<std::pair<std::wstring, DestinationKind>> seen;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < files->size(); ++i) {
        const json& item = (*files)[i];
        std::string label = "files[" + std::to_string(i) + "]";
        std::string name;
        if (item.is_object() && stringField(item, "name", name)) {
            label += " \"" + name + "\"";
        }
        PackageFile file;
        if (!loadFile(item, label, folder, file, error)) {
            return false;
        }
        if (!seen.insert({foldedName(file.name), file.kind}).second) {
            error = label + ": another entry has the same name and kind";
            return false;
        }
        total += file.content.size() + ENTRY_SIZE;
        if (total > UINT32_MAX) {
            error = label + ": the package would exceed 4 GiB";
            return false;
        }
        manifest.files.push_back(std::move(file));
    }
    return true;
}

}  // namespace pkgtool
