#include "system/EarlierEditions.h"

namespace {

// The 32-bit system directory as this (32-bit) process sees it, then the 64-bit one, which only exists
// for a 32-bit process on 64-bit Windows.
const wchar_t* const kSystemFolders[] = {L"System32", L"Sysnative"};

std::wstring inSystemFolder(const std::wstring& windowsDirectory, const wchar_t* systemFolder,
                            const wchar_t* fileName) {
    return windowsDirectory + L"\\" + systemFolder + L"\\" + fileName;
}

bool fits(const std::wstring& path) { return path.size() < kMaxRemovalPath; }

// A module is kept only when its product version could be read and equals the packaged one.
bool isPackagedVersion(platform::VersionInfo& versions, const std::wstring& path, const PackageVersion& expected) {
    std::optional<PackageVersion> found;
    return readProductVersion(versions, path, found) && found == expected;
}

// Deletes the module in both system directories unless keep says otherwise; false at the first one that
// exists and stays.
template <typename Keep>
bool clearModule(platform::DirectoryWalk& files, const std::wstring& windowsDirectory, const wchar_t* fileName,
                 Keep keep) {
    for (const wchar_t* systemFolder : kSystemFolders) {
        const std::wstring path = inSystemFolder(windowsDirectory, systemFolder, fileName);
        if (!fits(path) || !files.exists(path) || keep(path)) continue;
        if (!files.deleteFile(path)) return false;
    }
    return true;
}

}  // namespace

bool readProductVersion(platform::VersionInfo& versions, const std::wstring& path,
                        std::optional<PackageVersion>& version) {
    platform::ModuleVersion found{};
    switch (versions.productVersion(path, found)) {
        case platform::VersionLookup::NoResource:
            return false;
        case platform::VersionLookup::Unreadable:
            version.reset();
            return true;
        case platform::VersionLookup::Found:
            version = found;
            return true;
    }
    return false;
}

InstallResult clearOutdatedImeModules(platform::DirectoryWalk& files, platform::VersionInfo& versions,
                                      const std::wstring& windowsDirectory, const PackageVersion& imeVersion,
                                      const PackageVersion& textServiceVersion) {
    const auto never = [](const std::wstring&) { return false; };
    const auto packagedIme = [&](const std::wstring& path) { return isPackagedVersion(versions, path, imeVersion); };
    const auto packagedTextService = [&](const std::wstring& path) {
        return isPackagedVersion(versions, path, textServiceVersion);
    };
    const bool cleared = clearModule(files, windowsDirectory, L"ZelnsoftZelnCode.ime", never) &&
                         clearModule(files, windowsDirectory, L"ZelnsoftMIM.ime", never) &&
                         clearModule(files, windowsDirectory, L"ZelnIme.ime", packagedIme) &&
                         clearModule(files, windowsDirectory, L"ZelnImeTSF.ime", packagedTextService);
    return cleared ? RESULT_OK : ERR_PRECHECK;
}

std::wstring systemDrive(const std::wstring& windowsDirectory) {
    const std::size_t separator = windowsDirectory.find_last_of(L'\\');
    return separator == std::wstring::npos ? windowsDirectory : windowsDirectory.substr(0, separator);
}

TreeList listTree(platform::DirectoryWalk& files, const std::wstring& folder, TreeList list) {
    const auto entries = files.entries(folder);
    if (!entries) return list;
    if (list.empty()) list.push_front({folder, 1});
    for (const platform::DirectoryEntry& entry : *entries) {
        const std::wstring path = folder + L"\\" + entry.name;
        // A path cut short could name another file; one that does not fit stays, and so do its parents.
        if (!fits(path)) continue;
        if (!entry.isDirectory) {
            list.push_front({path, 0});
        } else if (!entry.name.empty() && entry.name.front() != L'.') {
            list.push_front({path, 1});
            // A link's contents belong to another tree: only the link itself is removed.
            if (!entry.isLink) list = listTree(files, path, std::move(list));
        }
    }
    return list;
}

int deleteTree(platform::DirectoryWalk& files, const std::wstring& folder) {
    TreeList list = listTree(files, folder, {});
    while (!list.empty()) {
        const TreeNode& node = list.front();
        if (node.isDirectory != 0) {
            files.removeDirectory(node.path);
        } else {
            files.deleteFile(node.path);
        }
        list.pop_front();
    }
    return 1;
}

int removeEarlierEditionFiles(platform::DirectoryWalk& files, const std::wstring& windowsDirectory) {
    const wchar_t* const earlierFiles[] = {L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime", L"ZelnIMECnvrt.dll",
                                           L"ZelnIMEUninstall2016.exe", L"ZelnIME_REG.exe"};
    for (const wchar_t* systemFolder : kSystemFolders) {
        for (const wchar_t* fileName : earlierFiles) {
            files.deleteFile(inSystemFolder(windowsDirectory, systemFolder, fileName));
        }
    }
    const std::wstring drive = systemDrive(windowsDirectory);
    const wchar_t* const folders[] = {
        L"\\Program Files (x86)\\Zelnsoft\\ZelnIME", L"\\Program Files\\Zelnsoft\\ZelnIME",
        L"\\Program Files (x86)\\Zelnsoft\\Update", L"\\Program Files\\Zelnsoft\\Update",
        L"\\Program Files\\Zelnsoft\\RivezuziDAD2016"};
    for (const wchar_t* folder : folders) deleteTree(files, drive + folder);
    return 1;
}
