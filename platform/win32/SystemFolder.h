#pragma once
// The installer runs with administrator rights, usually from the user's download folder, which holds whatever
// a web page or another program put there. Windows looks for a program named without a path, and for a DLL
// that is not one of its known DLLs, in the program's own folder first. So everything the installer loads or
// starts beyond its static imports (all of them known DLLs) is named by its full path in the system's folders.
#include <windows.h>

#include <string>

namespace platform {

// Takes the program's folder and the current directory out of the search for the DLLs that the system loads
// by name on the program's behalf: only the system folder is searched where Windows can be told so (Windows 8
// and later, Vista and 7 with their update); elsewhere at least the current directory leaves the search (XP
// SP1 and later). Then loads, from the system folder by full path, the DLLs that the system's own code is known
// to load by name for a program like this one (GDI+'s image codecs, the shell's property system, themes, ...),
// so that a later load by name finds them loaded: where the program's folder cannot leave the search, that is
// what keeps a planted copy out. They stay loaded until the process ends. Called first thing, before anything
// loads a DLL.
void restrictLibrarySearchToSystem();

// A path that Windows wrote into a 260-character buffer, given the length the call answered; empty when the
// call failed or the path did not fit.
std::wstring pathFromBuffer(const wchar_t* buffer, UINT length);

// The machine's Windows folder, even in a terminal-server session; empty when it cannot be had.
std::wstring systemWindowsFolder();

// "<system folder>\name" with the system folder as this process sees it (the 32-bit one under WoW64); empty
// when the folder cannot be had or the path would not fit a 260-character buffer.
std::wstring systemFolderPath(const wchar_t* name);
// "<Windows folder>\name", the machine's Windows folder even in a terminal-server session; empty as above.
std::wstring windowsFolderPath(const wchar_t* name);

// A DLL of the system folder, loaded by its full path for as long as the object lives; not loaded (every
// function null) when it cannot be.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name);
    ~SystemLibrary();
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    HMODULE module() const { return module_; }

private:
    HMODULE module_ = nullptr;
};

// Starts the program given by its full path with the arguments, shown as `show` says, in the program's own
// folder, and does not wait. The program is named as the application, so nothing is searched for; false when
// it could not be started.
bool startProgram(const std::wstring& program, const std::wstring& arguments, int show);

}  // namespace platform
