#include "engine/InstallerContext.h"

#include "engine/InstallerEngine.h"
#include "platform/Files.h"
#include "platform/SystemFacts.h"

#include <type_traits>

namespace {

constexpr const wchar_t* kOsTypeNames[OS_TYPE_COUNT] = {
    L"Win2000",        L"WinXP_PE_x64",   L"WinXP_Por_x64", L"WinServer2003", L"WinHomeServer",
    L"WinServer2003_R2", L"Vista",        L"Server_2008",   L"Server_2008_R2", L"Win7",
    L"Server_2012",    L"Win8",           L"Server_2012_R2", L"Win8_1",       L"Server_2016_TP",
    L"Win10",          L"Win10_Later",
};

constexpr const wchar_t* kArchCodeNames[] = {L"x86", L"x64", L"ARM", L"INTEL", L"UnKnown"};

OsType osTypeOf(const platform::VersionRecord& version, const platform::SystemFacts& facts, OsType current) {
    const bool workstation = version.productType == platform::PRODUCT_WORKSTATION;
    switch (version.majorVersion) {
    case 5:
        switch (version.minorVersion) {
        case 0:
            return OS_WIN2000;
        case 1:
            return OS_WINXP;
        case 2:
            if (workstation && facts.nativeProcessorArchitecture() == platform::PROCESSOR_ARCH_AMD64) {
                return OS_WINXP_X64;
            }
            return facts.serverR2Metric() == 0 ? OS_WINSERVER2003 : OS_WINSERVER2003_R2;
        default:
            return current;
        }
    case 6:
        switch (version.minorVersion) {
        case 0:
            return workstation ? OS_VISTA : OS_SERVER_2008;
        case 1:
            return workstation ? OS_WIN7 : OS_SERVER_2008_R2;
        case 2:
            return workstation ? OS_WIN8 : OS_SERVER_2012;
        case 3:
            return workstation ? OS_WIN8_1 : OS_SERVER_2012_R2;
        default:
            return workstation ? OS_WIN10 : OS_SERVER_2016_TP;
        }
    case 10:
        return workstation ? OS_WIN10 : OS_SERVER_2016_TP;
    default:
        return current;
    }
}

ArchCode archCodeOf(std::uint16_t processorArchitecture) {
    switch (processorArchitecture) {
    case platform::PROCESSOR_ARCH_INTEL:
        return ARCH_X86;
    case platform::PROCESSOR_ARCH_AMD64:
        return ARCH_X64;
    case platform::PROCESSOR_ARCH_ARM:
        return ARCH_ARM;
    case platform::PROCESSOR_ARCH_IA64:
        return ARCH_IA64;
    default:
        return ARCH_UNKNOWN;
    }
}

bool isDesktopFromVista(OsType osType) {
    return osType == OS_VISTA || osType == OS_WIN7 || osType == OS_WIN8 || osType == OS_WIN8_1 ||
           osType == OS_WIN10;
}

// The text before the last backslash; the whole text when it has none.
std::wstring parentOf(const std::wstring& path) {
    const std::size_t cut = path.rfind(L'\\');
    return cut == std::wstring::npos ? path : path.substr(0, cut);
}

// "%s\\%s" of a directory and a name, or empty when the directory is unknown or the result does not fit.
std::wstring slotPath(const std::wstring& directory, const wchar_t* name) {
    std::wstring path;
    return composePath(directory, name, path) ? path : std::wstring();
}

}  // namespace

const wchar_t* osTypeName(OsType osType) {
    return kOsTypeNames[osType < OS_TYPE_COUNT ? osType : OS_TYPE_COUNT - 1];
}

const wchar_t* archCodeName(ArchCode archCode) {
    return kArchCodeNames[archCode < ARCH_UNKNOWN ? archCode : ARCH_UNKNOWN];
}

std::size_t pathUnits(const std::wstring& path) {
    if constexpr (sizeof(wchar_t) == 2) {
        return path.size();
    }
    std::size_t units = 0;
    for (const wchar_t c : path) {
        units += std::uint32_t{static_cast<std::make_unsigned_t<wchar_t>>(c)} >> 16 != 0 ? 2 : 1;
    }
    return units;
}

bool fitsPathBuffer(const std::wstring& path) {
    return pathUnits(path) < PATH_UNITS;
}

bool composePath(const std::wstring& directory, const std::wstring& name, std::wstring& path) {
    // Under no directory the name would land in the root of the current drive.
    if (directory.empty()) {
        return false;
    }
    std::wstring joined = directory + L'\\' + name;
    if (!fitsPathBuffer(joined)) {
        return false;
    }
    path = std::move(joined);
    return true;
}

void clearRecord(InstallerContext& context) {
    EngineListener* const listener = context.listener;
    const std::atomic<bool>* const cancelRequest = context.cancelRequest;
    context = InstallerContext{};
    context.listener = listener;
    context.cancelRequest = cancelRequest;
}

bool cancelRequested(const InstallerContext& context) {
    return context.cancelRequest != nullptr && context.cancelRequest->load();
}

InstallResult detectSystem(InstallerContext& context, const platform::SystemFacts& facts) {
    platform::VersionRecord version;
    if (!facts.versionRecord(version)) {
        return ERR_VERSION_QUERY;
    }
    context.osType = osTypeOf(version, facts, context.osType);
    context.archCode = archCodeOf(facts.nativeProcessorArchitecture());
    return RESULT_OK;
}

bool isSupportedEdition(const InstallerContext& context) {
    return isDesktopFromVista(context.osType) ||
           (context.archCode == ARCH_X86 && context.osType == OS_WINXP);
}

std::wstring systemDrive(const std::wstring& windowsDirectory) { return parentOf(windowsDirectory); }

std::wstring systemDrive(const platform::SystemFacts& facts) { return systemDrive(facts.systemWindowsDirectory()); }

InstallResult computeDirectories(InstallerContext& context, const platform::SystemFacts& facts) {
    const std::wstring drive = systemDrive(facts);
    const std::wstring windows = facts.windowsDirectory();
    auto& slots = context.directories;
    // An unsupported edition leaves the system and program-files slots empty.
    const bool supported = isSupportedEdition(context);
    if (supported && context.archCode == ARCH_X86) {
        slots[DEST_SYSTEM32] = slotPath(windows, L"System32");
        slots[DEST_PROGRAM_FILES] = slotPath(drive, L"Program Files");
    } else if (supported) {
        slots[DEST_SYSTEM32] = slotPath(windows, L"System32");
        slots[DEST_SYSNATIVE] = slotPath(windows, L"Sysnative");
        slots[DEST_PROGRAM_FILES] = slotPath(drive, L"Program Files (x86)");
        slots[DEST_PROGRAM_FILES_64] = slotPath(drive, L"Program Files");
    }
    slots[DEST_FONTS] = slotPath(windows, L"Fonts");
    std::wstring roaming;
    if (!facts.roamingAppDataFolder(roaming) || !fitsPathBuffer(roaming)) {
        roaming = slotPath(drive, L"ZelnAppData\\Roaming");
    }
    slots[DEST_ROAMING] = roaming;
    slots[DEST_APPDATA] = parentOf(roaming);
    slots[DEST_LOCAL] = slotPath(slots[DEST_APPDATA], L"Local");
    slots[DEST_LOCAL_LOW] = slotPath(slots[DEST_APPDATA], L"LocalLow");
    const std::wstring module = facts.modulePath();
    context.modulePath = fitsPathBuffer(module) ? module : std::wstring();
    return supported ? RESULT_OK : ERR_UNSUPPORTED_EDITION;
}

bool makeMissingFolders(const std::wstring& path, const std::function<bool(const std::wstring&)>& exists,
                        const std::function<bool(const std::wstring&)>& make) {
    // Every directory above the last component is made; the last component is the file name, dots and all.
    std::size_t last = path.size();
    while (last > 0 && !platform::isPathSeparator(path[last - 1])) {
        --last;
    }
    for (std::size_t i = platform::pathRootLength(path); i + 1 <= last; ++i) {
        if (!platform::isPathSeparator(path[i])) {
            continue;
        }
        const std::wstring prefix = path.substr(0, i);
        if (!exists(prefix) && !make(prefix) && !exists(prefix)) {
            return false;
        }
    }
    return true;
}

InstallResult ensureDirectories(const std::wstring& path, bool create) {
    const InstallResult base = platform::pathExists(path) ? RESULT_OK : 1;
    if (!create) {
        return base;
    }
    return makeMissingFolders(path, platform::pathExists, platform::createDirectory) ? base : ERR_CREATE_DIRECTORY;
}

void reportProgress(InstallerContext& context, std::uint32_t percent) {
    if (percent == context.lastProgress) {
        return;
    }
    if (context.listener) {
        context.listener->engineMessage(WM_INSTALL_PROGRESS, static_cast<int>(percent), 0);
    }
    context.lastProgress = percent;
}

InstallResult setInstallDirectory(InstallerContext& context, const std::wstring& installDirectory) {
    std::wstring tempDir;
    if (!fitsPathBuffer(installDirectory) || !composePath(installDirectory, L"tmp", tempDir)) {
        return ERR_CREATE_DIRECTORY;
    }
    context.directories[DEST_INSTALL] = installDirectory;
    context.tempDir = tempDir;
    return RESULT_OK;
}
