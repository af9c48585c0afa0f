#pragma once
// Taking the input method's modules out of the system folders while programs have them loaded. Windows maps
// a loaded module so that it cannot be deleted, but it can be renamed inside its folder: such a module is set
// aside under a name of its own and deleted when Windows next starts. It counts as gone: programs that loaded
// it keep it until they end, and programs started later load the module placed under its name.
#include "engine/InstallLog.h"
#include "platform/DirectoryWalk.h"
#include "system/RemovalServices.h"

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

class ModuleRemoval {
public:
    // wow64SystemDirectory: where System32 really lies for this process (SysWOW64 under WoW64), empty where
    // the process sees the system folders as they are.
    ModuleRemoval(platform::DirectoryWalk& files, const std::wstring& windowsDirectory,
                  const std::wstring& wow64SystemDirectory, InstallLog& log);

    // Deletes the module; one in use is set aside and deleted at restart. False when it stays in its place.
    bool takeOut(const std::wstring& path);
    // Takes each file out of the system folders (see takeOut): this process's System32, then Sysnative, the
    // 64-bit one, which only a 32-bit process on 64-bit Windows has.
    void takeOutOfSystemFolders(std::initializer_list<const wchar_t*> fileNames);

    // Sets the module aside without deleting it, so that putBack can restore it; false when it cannot be
    // moved (another program holds it open without delete sharing).
    bool setAside(const std::wstring& path);
    // Sets the file aside in each system folder where it exists and keep(path) is false, System32 first; a
    // path that would not fit a path buffer is left. False at the first one that cannot be moved.
    bool setAsideInSystemFolders(const wchar_t* fileName, const std::function<bool(const std::wstring&)>& keep);
    // Deletes the modules set aside; one still in use is deleted at restart. None can be put back afterwards.
    void discardSetAside();
    // Moves every module set aside back to its own name, the last one first.
    void putBack();

    // The path Windows' start-up, which sees no WoW64 redirection, knows the file by: under WoW64 this
    // process's System32 is SysWOW64 and its Sysnative is System32.
    std::wstring pathAtRestart(const std::wstring& path) const;

private:
    struct SetAsideModule {
        std::wstring path;
        std::wstring asidePath;
    };

    // Renames the module to the first free name "%s.%u.old" in its folder; empty when it cannot be moved.
    std::wstring moveAside(const std::wstring& path);
    void deleteAtRestart(const SetAsideModule& module);

    platform::DirectoryWalk& files_;
    std::wstring windowsDirectory_;
    std::wstring wow64SystemDirectory_;
    InstallLog& log_;
    std::vector<SetAsideModule> setAside_;
};

// The module removal of the system the removal services describe.
ModuleRemoval moduleRemoval(RemovalServices& services);
