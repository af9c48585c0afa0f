#include "system/ModuleRemoval.h"

#include "engine/InstallerContext.h"
#include "platform/TextCompare.h"

namespace {

// Earlier runs' modules that wait for a restart keep their names; this many are looked past at most.
constexpr unsigned kMaxAsideNames = 1000;

// The system folders under the Windows directory as the installer, a 32-bit program, names them: its own
// System32, then Sysnative, the 64-bit one, which only a 32-bit process on 64-bit Windows has.
constexpr const wchar_t* kSystemFolders[] = {L"System32", L"Sysnative"};

// "%s\\%s\\%s" of the Windows directory, a system folder and a file name.
std::wstring inSystemFolder(const std::wstring& windowsDirectory, const wchar_t* systemFolder,
                            const wchar_t* fileName) {
    return windowsDirectory + L"\\" + systemFolder + L"\\" + fileName;
}

}  // namespace

ModuleRemoval::ModuleRemoval(platform::DirectoryWalk& files, const std::wstring& windowsDirectory,
                             const std::wstring& wow64SystemDirectory, InstallLog& log)
    : files_(files), windowsDirectory_(windowsDirectory), wow64SystemDirectory_(wow64SystemDirectory), log_(log) {}

bool ModuleRemoval::takeOut(const std::wstring& path) {
    if (files_.deleteFile(path) || !files_.exists(path)) return true;
    const std::wstring asidePath = moveAside(path);
    if (asidePath.empty()) return false;
    deleteAtRestart({path, asidePath});
    return true;
}

void ModuleRemoval::takeOutOfSystemFolders(std::initializer_list<const wchar_t*> fileNames) {
    for (const wchar_t* systemFolder : kSystemFolders) {
        for (const wchar_t* fileName : fileNames) takeOut(inSystemFolder(windowsDirectory_, systemFolder, fileName));
    }
}

bool ModuleRemoval::setAsideInSystemFolders(const wchar_t* fileName,
                                            const std::function<bool(const std::wstring&)>& keep) {
    for (const wchar_t* systemFolder : kSystemFolders) {
        const std::wstring path = inSystemFolder(windowsDirectory_, systemFolder, fileName);
        if (!fitsPathBuffer(path) || !files_.exists(path) || keep(path)) continue;
        if (!setAside(path)) return false;
    }
    return true;
}

bool ModuleRemoval::setAside(const std::wstring& path) {
    const std::wstring asidePath = moveAside(path);
    if (asidePath.empty()) return false;
    setAside_.push_back({path, asidePath});
    return true;
}

void ModuleRemoval::discardSetAside() {
    for (const SetAsideModule& module : setAside_) {
        if (!files_.deleteFile(module.asidePath)) deleteAtRestart(module);
    }
    setAside_.clear();
}

void ModuleRemoval::putBack() {
    for (auto module = setAside_.rbegin(); module != setAside_.rend(); ++module) {
        if (files_.moveFile(module->asidePath, module->path)) {
            log_.writeLogLine(L"Module put back: %s", {module->path});
        } else {
            log_.writeLogLine(L"Module not put back: %s stays as %s", {module->path, module->asidePath});
        }
    }
    setAside_.clear();
}

std::wstring ModuleRemoval::pathAtRestart(const std::wstring& path) const {
    if (wow64SystemDirectory_.empty()) return path;
    const std::wstring system32 = inSystemFolder(windowsDirectory_, kSystemFolders[0], L"");
    const std::wstring sysnative = inSystemFolder(windowsDirectory_, kSystemFolders[1], L"");
    if (platform::startsWithIgnoringAsciiCase(path, system32)) {
        return wow64SystemDirectory_ + L"\\" + path.substr(system32.size());
    }
    if (platform::startsWithIgnoringAsciiCase(path, sysnative)) return system32 + path.substr(sysnative.size());
    return path;
}

std::wstring ModuleRemoval::moveAside(const std::wstring& path) {
    // The new name stays in the module's folder, and so on its volume, where a rename works while the module
    // is loaded; a name that is taken is passed over, so nothing is ever replaced.
    for (unsigned number = 1; number <= kMaxAsideNames; ++number) {
        const std::wstring asidePath = path + L"." + std::to_wstring(number) + L".old";
        if (!fitsPathBuffer(asidePath)) break;
        if (files_.exists(asidePath)) continue;
        if (files_.moveFile(path, asidePath)) return asidePath;
        break;
    }
    log_.writeLogLine(L"Module cannot be moved aside: %s", {path});
    return std::wstring();
}

void ModuleRemoval::deleteAtRestart(const SetAsideModule& module) {
    const std::wstring restartPath = pathAtRestart(module.asidePath);
    files_.deleteAtRestart(restartPath);
    log_.writeLogLine(L"Module in use, set aside: %s, deleted at restart as %s", {module.path, restartPath});
}

ModuleRemoval moduleRemoval(RemovalServices& services) {
    return ModuleRemoval(services.directoryWalk, services.facts.windowsDirectory(),
                         services.facts.wow64SystemDirectory(), services.log);
}
