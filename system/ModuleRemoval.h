#pragma once
// Taking the input method's modules out of the system folders: this process's System32, then Sysnative, the
// 64-bit one, which only a 32-bit process on 64-bit Windows has. Through the install's journal a module taken
// out is set aside under a name of its own in its folder, where a rename works while programs have it loaded,
// and deleted once the install has succeeded (at the next restart while it is still in use). It counts as
// gone: programs that loaded it keep it until they end, and programs started later load the module placed
// under its name.
#include "platform/DirectoryWalk.h"
#include "system/RemovalServices.h"

#include <functional>
#include <initializer_list>
#include <string>

class ModuleRemoval {
public:
    ModuleRemoval(platform::DirectoryWalk& files, const std::wstring& windowsDirectory);

    // True when no file is left under the path: taken out, or never there.
    bool takeOut(const std::wstring& path);
    // Takes each file out of both system folders, whatever stays.
    void takeOutOfSystemFolders(std::initializer_list<const wchar_t*> fileNames);
    // Takes the file out of each system folder where it exists and keep(path) is false; a path that would not
    // fit a path buffer is left. False at the first one that stays in its place.
    bool takeOutOfSystemFolders(const wchar_t* fileName, const std::function<bool(const std::wstring&)>& keep);

private:
    platform::DirectoryWalk& files_;
    std::wstring windowsDirectory_;
};

// The module removal of the system the removal services describe.
ModuleRemoval moduleRemoval(RemovalServices& services);
