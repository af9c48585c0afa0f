// The engine's one process-wide record, the Windows edition and architecture codes, the table of destination
// directories, and the helpers the install steps share.
//
// Paths are std::wstring holding at most PATH_UNITS - 1 units (a Windows path buffer of 260 wide characters
// with its terminator); a path that would not fit is an error, never truncated.
#pragma once

#include "engine/InstallResult.h"
#include "engine/PackageFormat.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace platform {
class SystemFacts;
}

// Native processor architecture.
using ArchCode = std::uint32_t;
constexpr ArchCode ARCH_X86 = 0;
constexpr ArchCode ARCH_X64 = 1;
constexpr ArchCode ARCH_ARM = 2;
constexpr ArchCode ARCH_IA64 = 3;
constexpr ArchCode ARCH_UNKNOWN = 4;

// Windows edition.
using OsType = std::uint32_t;
constexpr OsType OS_WIN2000 = 0;
constexpr OsType OS_WINXP = 1;
constexpr OsType OS_WINXP_X64 = 2;
constexpr OsType OS_WINSERVER2003 = 3;
constexpr OsType OS_WINHOMESERVER = 4;
constexpr OsType OS_WINSERVER2003_R2 = 5;
constexpr OsType OS_VISTA = 6;
constexpr OsType OS_SERVER_2008 = 7;
constexpr OsType OS_SERVER_2008_R2 = 8;
constexpr OsType OS_WIN7 = 9;
constexpr OsType OS_SERVER_2012 = 10;
constexpr OsType OS_WIN8 = 11;
constexpr OsType OS_SERVER_2012_R2 = 12;
constexpr OsType OS_WIN8_1 = 13;
constexpr OsType OS_SERVER_2016_TP = 14;
constexpr OsType OS_WIN10 = 15;
constexpr OsType OS_WIN10_LATER = 16;
constexpr OsType OS_TYPE_COUNT = 17;

// The names the install log writes for the codes ("Win7", "x64"); an out-of-range code gives the last name.
const wchar_t* osTypeName(OsType osType);
const wchar_t* archCodeName(ArchCode archCode);

// What placement did for an entry.
enum class Placement : std::uint8_t {
    Placed,     // the new file is at the path, in place of whatever was there
    Skipped,    // a 64-bit file on 32-bit Windows: left in the temporary folder, no path
    UsersOwn,   // a per-user file that was there already: the user's own, kept as it was
    AtRestart,  // the new file waits at the path, beside its destination, and replaces it at the next restart
};

// A destination written by placeFiles, read back by verifyFiles.
struct PlacedFile {
    std::wstring path;
    DestinationKind kind = 0;
    Placement placement = Placement::Placed;
};

// Where engine messages go. The install sequence hands them to its message window; tools and tests listen
// directly. With no listener the engine runs silently.
class EngineListener {
public:
    virtual void engineMessage(int message, int wParam, int lParam) = 0;

protected:
    ~EngineListener() = default;
};

struct InstallerContext {
    // The package trailer exactly as read from the executable.
    PackageTrailer trailer;
    ArchCode archCode = ARCH_X86;
    OsType osType = OS_WIN2000;
    // Destination directory per DestinationKind; empty when the edition has no such directory.
    std::array<std::wstring, DESTINATION_COUNT> directories;
    // Number of PackageEntry records in the package directory.
    std::uint32_t entryCount = 0;
    // File offset of the gzip member inside the executable, and its length.
    std::uint32_t packageOffset = 0;
    std::uint32_t packageSize = 0;
    // One slot per directory entry, in directory order; its size is the count of slots used so far.
    std::vector<PlacedFile> placedFiles;
    // The package directory as read from the unpacked store.
    std::vector<PackageEntry> directory;
    // "%s\\tmp" of the install directory.
    std::wstring tempDir;
    // Full path of the running executable.
    std::wstring modulePath;
    // Result of initialisation; the install refuses to run when it is not 0.
    InstallResult initResult = RESULT_OK;
    // Last progress percentage sent to the interface.
    std::uint32_t lastProgress = 0;

    // Beside the record: kept when the record is cleared.
    EngineListener* listener = nullptr;
    // Set by the interface thread when the user ends the install; the worker stops at the next file or step.
    const std::atomic<bool>* cancelRequest = nullptr;
};

// True once the user has asked to end the install.
bool cancelRequested(const InstallerContext& context);

// Empties every field of the record; the listener stays.
void clearRecord(InstallerContext& context);

// Sets osType and archCode from the version record and the native architecture. ERR_VERSION_QUERY when the
// version cannot be queried (nothing is changed then).
InstallResult detectSystem(InstallerContext& context, const platform::SystemFacts& facts);

// True when the detected edition has system and program-files folders: 32-bit Windows XP, and the desktop
// editions from Vista on. Servers, Windows 2000 and 64-bit XP are not supported.
bool isSupportedEdition(const InstallerContext& context);

// Fills destination slots 1 to 9 and modulePath. ERR_UNSUPPORTED_EDITION when the edition is not supported
// (its system and program-files slots stay empty).
InstallResult computeDirectories(InstallerContext& context, const platform::SystemFacts& facts);

// Calls make for every folder above the path's last component (the file name) that exists does not find, from
// the root down; false at the first one that make refuses and that still does not exist.
bool makeMissingFolders(const std::wstring& path, const std::function<bool(const std::wstring&)>& exists,
                        const std::function<bool(const std::wstring&)>& make);

// Without create: 1 when path does not exist, 0 when it does. With create: the same value after creating every
// missing directory above path's last component (the file name), or ERR_CREATE_DIRECTORY when one cannot be made.
InstallResult ensureDirectories(const std::wstring& path, bool create);

// Sends WM_INSTALL_PROGRESS when the percentage differs from lastProgress, and remembers it.
void reportProgress(InstallerContext& context, std::uint32_t percent);

// UTF-16 units of a path (a wide character beyond the basic plane takes two).
std::size_t pathUnits(const std::wstring& path);

// True when the path fits a Windows path buffer of PATH_UNITS wide characters with its terminator.
bool fitsPathBuffer(const std::wstring& path);

// "%s\\%s" of a directory and a name; false (path untouched) when the directory is empty or the result would
// not fit.
bool composePath(const std::wstring& directory, const std::wstring& name, std::wstring& path);

// The drive of a Windows directory: the directory cut at its last backslash (C: for C:\Windows).
std::wstring systemDrive(const std::wstring& windowsDirectory);
// DRIVE: the drive of the system-wide Windows directory.
std::wstring systemDrive(const platform::SystemFacts& facts);

// Slot 0 becomes the install directory and tempDir its "tmp" folder. ERR_CREATE_DIRECTORY when either path
// does not fit.
InstallResult setInstallDirectory(InstallerContext& context, const std::wstring& installDirectory);
