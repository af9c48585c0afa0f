#include "system/ModuleRemoval.h"

#include "engine/InstallerContext.h"

namespace {

// The system folders under the Windows directory as the installer, a 32-bit program, names them.
constexpr const wchar_t* kSystemFolders[] = {L"System32", L"Sysnative"};

// "%s\\%s\\%s" of the Windows directory, a system folder and a file name.
std::wstring inSystemFolder(const std::wstring& windowsDirectory, const wchar_t* systemFolder,
                            const wchar_t* fileName) {
    return windowsDirectory + L"\\" + systemFolder + L"\\" + fileName;
}

}  // namespace

ModuleRemoval::ModuleRemoval(platform::DirectoryWalk& files, const std::wstring& windowsDirectory)
    : files_(files), windowsDirectory_(windowsDirectory) {}

bool ModuleRemoval::takeOut(const std::wstring& path) { return files_.deleteFile(path) || !files_.exists(path); }

void ModuleRemoval::takeOutOfSystemFolders(std::initializer_list<const wchar_t*> fileNames) {
    for (const wchar_t* systemFolder : kSystemFolders) {
        for (const wchar_t* fileName : fileNames) takeOut(inSystemFolder(windowsDirectory_, systemFolder, fileName));
    }
}

bool ModuleRemoval::takeOutOfSystemFolders(const wchar_t* fileName,
                                           const std::function<bool(const std::wstring&)>& keep) {
    for (const wchar_t* systemFolder : kSystemFolders) {
        const std::wstring path = inSystemFolder(windowsDirectory_, systemFolder, fileName);
        if (!fitsPathBuffer(path) || !files_.exists(path) || keep(path)) continue;
        if (!takeOut(path)) return false;
    }
    return true;
}

ModuleRemoval moduleRemoval(RemovalServices& services) {
    return ModuleRemoval(services.directoryWalk, services.facts.windowsDirectory());
}
