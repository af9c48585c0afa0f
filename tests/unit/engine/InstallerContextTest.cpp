// The edition, architecture and destination tables, worked out from given system facts, and the helpers the
// install steps share.
#include "EngineFixture.h"

#include "engine/InstallerContext.h"
#include "engine/InstallerEngine.h"
#include "platform/GivenSystemFacts.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace enginetest;
using platform::GivenSystemFacts;

GivenSystemFacts facts(std::uint32_t major, std::uint32_t minor, std::uint8_t productType,
                       std::uint16_t architecture, const std::wstring& drive = L"C:") {
    GivenSystemFacts f;
    f.version = {major, minor, productType};
    f.nativeArchitecture = architecture;
    f.windowsDir = drive + L"\\Windows";
    f.systemWindowsDir = drive + L"\\Windows";
    f.roaming = drive + L"\\Users\\u\\AppData\\Roaming";
    f.module = drive + L"\\setup.exe";
    return f;
}

constexpr std::uint8_t WS = platform::PRODUCT_WORKSTATION;
constexpr std::uint8_t SERVER = 3;
constexpr std::uint16_t X86 = platform::PROCESSOR_ARCH_INTEL;
constexpr std::uint16_t AMD64 = platform::PROCESSOR_ARCH_AMD64;

struct EditionRow {
    std::uint32_t major, minor;
    std::uint8_t productType;
    std::uint16_t architecture;
    int serverR2;
    OsType expected;
};

TEST(DetectSystem, EveryEditionRowGivesItsOsType) {
    const EditionRow rows[] = {
        {5, 0, WS, X86, 0, OS_WIN2000},           {5, 1, WS, X86, 0, OS_WINXP},
        {5, 2, WS, AMD64, 0, OS_WINXP_X64},   {5, 2, WS, X86, 0, OS_WINSERVER2003},
        {5, 2, SERVER, AMD64, 0, OS_WINSERVER2003}, {5, 2, SERVER, X86, 1, OS_WINSERVER2003_R2},
        {6, 0, WS, X86, 0, OS_VISTA},             {6, 0, SERVER, X86, 0, OS_SERVER_2008},
        {6, 1, SERVER, AMD64, 0, OS_SERVER_2008_R2}, {6, 1, WS, AMD64, 0, OS_WIN7},
        {6, 2, SERVER, AMD64, 0, OS_SERVER_2012}, {6, 2, WS, X86, 0, OS_WIN8},
        {6, 3, SERVER, AMD64, 0, OS_SERVER_2012_R2}, {6, 3, WS, AMD64, 0, OS_WIN8_1},
        {6, 4, SERVER, AMD64, 0, OS_SERVER_2016_TP}, {6, 4, WS, AMD64, 0, OS_WIN10},
        {6, 9, WS, X86, 0, OS_WIN10},             {10, 0, WS, AMD64, 0, OS_WIN10},
        {10, 7, SERVER, AMD64, 0, OS_SERVER_2016_TP}, {10, 0, 2, AMD64, 0, OS_SERVER_2016_TP},
    };
    for (const EditionRow& row : rows) {
        GivenSystemFacts f = facts(row.major, row.minor, row.productType, row.architecture);
        f.serverR2 = row.serverR2;
        InstallerContext context;
        EXPECT_EQ(RESULT_OK, detectSystem(context, f));
        EXPECT_EQ(row.expected, context.osType) << row.major << "." << row.minor << " type " << int(row.productType);
    }
}

TEST(DetectSystem, UnknownVersionsKeepTheEditionAndAFailedQueryTouchesNothing) {
    for (const auto& [major, minor] : {std::pair{4u, 0u}, {5u, 3u}, {7u, 0u}, {11u, 0u}}) {
        InstallerContext context;
        context.osType = OS_WIN8;
        EXPECT_EQ(RESULT_OK, detectSystem(context, facts(major, minor, WS, AMD64)));
        EXPECT_EQ(OS_WIN8, context.osType);
        EXPECT_EQ(ARCH_X64, context.archCode);
    }
    GivenSystemFacts noVersion = facts(6, 1, WS, AMD64);
    noVersion.versionKnown = false;
    InstallerContext context;
    EXPECT_EQ(ERR_VERSION_QUERY, detectSystem(context, noVersion));
    EXPECT_EQ(OS_WIN2000, context.osType);
    EXPECT_EQ(ARCH_X86, context.archCode);
}

TEST(DetectSystem, ArchitectureCodesAndTheNamesTheLogWrites) {
    const std::pair<std::uint16_t, ArchCode> rows[] = {{0, ARCH_X86}, {9, ARCH_X64}, {5, ARCH_ARM},
                                                       {6, ARCH_IA64}, {12, ARCH_UNKNOWN}, {0xFFFF, ARCH_UNKNOWN}};
    for (const auto& [architecture, expected] : rows) {
        InstallerContext context;
        detectSystem(context, facts(6, 1, WS, architecture));
        EXPECT_EQ(expected, context.archCode) << architecture;
    }
    EXPECT_STREQ(L"x86", archCodeName(ARCH_X86));
    EXPECT_STREQ(L"x64", archCodeName(ARCH_X64));
    EXPECT_STREQ(L"ARM", archCodeName(ARCH_ARM));
    EXPECT_STREQ(L"INTEL", archCodeName(ARCH_IA64));
    EXPECT_STREQ(L"UnKnown", archCodeName(ARCH_UNKNOWN));
    EXPECT_STREQ(L"Win2000", osTypeName(OS_WIN2000));
    EXPECT_STREQ(L"WinServer2003_R2", osTypeName(OS_WINSERVER2003_R2));
    EXPECT_STREQ(L"Win7", osTypeName(OS_WIN7));
    EXPECT_STREQ(L"Win8_1", osTypeName(OS_WIN8_1));
    EXPECT_STREQ(L"Server_2016_TP", osTypeName(OS_SERVER_2016_TP));
    EXPECT_STREQ(L"Win10_Later", osTypeName(OS_WIN10_LATER));
}

InstallerContext directoriesFor(const GivenSystemFacts& f, InstallResult expected = RESULT_OK) {
    InstallerContext context;
    detectSystem(context, f);
    EXPECT_EQ(expected, computeDirectories(context, f));
    return context;
}

TEST(ComputeDirectories, SixtyFourBitWindows7FillsEverySlot) {
    const InstallerContext c = directoriesFor(facts(6, 1, WS, AMD64));
    EXPECT_EQ(OS_WIN7, c.osType);
    EXPECT_EQ(ARCH_X64, c.archCode);
    EXPECT_EQ(L"", c.directories[DEST_INSTALL]);
    EXPECT_EQ(L"C:\\Windows\\Sysnative", c.directories[DEST_SYSNATIVE]);
    EXPECT_EQ(L"C:\\Windows\\System32", c.directories[DEST_SYSTEM32]);
    EXPECT_EQ(L"C:\\Windows\\Fonts", c.directories[DEST_FONTS]);
    EXPECT_EQ(L"C:\\Program Files (x86)", c.directories[DEST_PROGRAM_FILES]);
    EXPECT_EQ(L"C:\\Program Files", c.directories[DEST_PROGRAM_FILES_64]);
    EXPECT_EQ(L"C:\\Users\\u\\AppData\\Roaming", c.directories[DEST_ROAMING]);
    EXPECT_EQ(L"C:\\Users\\u\\AppData\\Local", c.directories[DEST_LOCAL]);
    EXPECT_EQ(L"C:\\Users\\u\\AppData\\LocalLow", c.directories[DEST_LOCAL_LOW]);
    EXPECT_EQ(L"C:\\Users\\u\\AppData", c.directories[DEST_APPDATA]);
    EXPECT_EQ(L"C:\\setup.exe", c.modulePath);
}

TEST(ComputeDirectories, ThirtyTwoBitDesktopsFillOnlyTheThirtyTwoBitSlots) {
    for (const auto& [major, minor] : {std::pair{6u, 2u}, {5u, 1u}, {6u, 0u}, {10u, 0u}}) {
        const InstallerContext c = directoriesFor(facts(major, minor, WS, X86));
        EXPECT_EQ(L"", c.directories[DEST_SYSNATIVE]);
        EXPECT_EQ(L"C:\\Windows\\System32", c.directories[DEST_SYSTEM32]);
        EXPECT_EQ(L"C:\\Program Files", c.directories[DEST_PROGRAM_FILES]);
        EXPECT_EQ(L"", c.directories[DEST_PROGRAM_FILES_64]);
        EXPECT_EQ(L"C:\\Windows\\Fonts", c.directories[DEST_FONTS]);
    }
    EXPECT_EQ(OS_WIN8, directoriesFor(facts(6, 2, WS, X86)).osType);
}

TEST(ComputeDirectories, UnsupportedEditionsLeaveTheSystemAndProgramSlotsEmpty) {
    const GivenSystemFacts unsupported[] = {
        facts(5, 2, WS, AMD64),      // 64-bit XP
        facts(6, 3, SERVER, AMD64),  // Server 2012 R2
        facts(5, 0, WS, X86),        // Windows 2000
        facts(5, 1, WS, AMD64),      // XP on a 64-bit processor
        facts(10, 0, SERVER, X86),
    };
    for (const GivenSystemFacts& f : unsupported) {
        const InstallerContext c = directoriesFor(f, ERR_UNSUPPORTED_EDITION);
        for (const DestinationKind kind : {DEST_SYSNATIVE, DEST_SYSTEM32, DEST_PROGRAM_FILES, DEST_PROGRAM_FILES_64}) {
            EXPECT_EQ(L"", c.directories[kind]) << kind;
        }
        EXPECT_EQ(L"C:\\Windows\\Fonts", c.directories[DEST_FONTS]);
        EXPECT_EQ(L"C:\\Users\\u\\AppData\\Roaming", c.directories[DEST_ROAMING]);
    }
    EXPECT_EQ(OS_SERVER_2012_R2, directoriesFor(facts(6, 3, SERVER, AMD64), ERR_UNSUPPORTED_EDITION).osType);
    EXPECT_EQ(OS_WINXP_X64, directoriesFor(facts(5, 2, WS, AMD64), ERR_UNSUPPORTED_EDITION).osType);
    // A failed version query leaves the edition unknown, so it is unsupported too.
    GivenSystemFacts noVersion = facts(6, 1, WS, AMD64);
    noVersion.versionKnown = false;
    EXPECT_EQ(L"", directoriesFor(noVersion, ERR_UNSUPPORTED_EDITION).directories[DEST_SYSTEM32]);
}

TEST(ComputeDirectories, RoamingFolderFallsBackUnderTheSystemDrive) {
    GivenSystemFacts f = facts(6, 1, WS, AMD64, L"D:");
    f.windowsDir = L"D:\\Users\\u\\Windows";  // a session's own Windows directory
    f.roamingKnown = false;
    const InstallerContext c = directoriesFor(f);
    EXPECT_EQ(L"D:\\ZelnAppData\\Roaming", c.directories[DEST_ROAMING]);
    EXPECT_EQ(L"D:\\ZelnAppData", c.directories[DEST_APPDATA]);
    EXPECT_EQ(L"D:\\ZelnAppData\\Local", c.directories[DEST_LOCAL]);
    EXPECT_EQ(L"D:\\ZelnAppData\\LocalLow", c.directories[DEST_LOCAL_LOW]);
    EXPECT_EQ(L"D:\\Users\\u\\Windows\\Fonts", c.directories[DEST_FONTS]);
    EXPECT_EQ(L"D:\\Program Files (x86)", c.directories[DEST_PROGRAM_FILES]);
}

TEST(ComputeDirectories, RoamingFolderWithoutBackslashIsItsOwnParent) {
    GivenSystemFacts f = facts(6, 1, WS, AMD64);
    f.roaming = L"Roaming";
    const InstallerContext c = directoriesFor(f);
    EXPECT_EQ(L"Roaming", c.directories[DEST_APPDATA]);
    EXPECT_EQ(L"Roaming\\Local", c.directories[DEST_LOCAL]);
}

TEST(InstallerEngineTest, DefaultInstallDirectoryFollowsTheNativeArchitectureAndSystemDrive) {
    platform::PosixDirectoryWalk files;
    InstallerEngine engine;
    std::wstring directory;
    EXPECT_EQ(ERR_CREATE_DIRECTORY, engine.defaultInstallDirectory(directory));
    const GivenSystemFacts x64 = facts(6, 1, WS, AMD64, L"D:");
    engine.initialize(x64, files, nullptr);
    EXPECT_EQ(RESULT_OK, engine.defaultInstallDirectory(directory));
    EXPECT_EQ(L"D:\\Program Files (x86)\\Zelnsoft", directory);

    InstallerEngine other;
    const GivenSystemFacts arm = facts(10, 0, WS, platform::PROCESSOR_ARCH_ARM);
    other.initialize(arm, files, nullptr);
    other.defaultInstallDirectory(directory);
    EXPECT_EQ(L"C:\\Program Files (x86)\\Zelnsoft", directory);

    InstallerEngine x86Engine;
    const GivenSystemFacts x86 = facts(6, 2, WS, X86);
    x86Engine.initialize(x86, files, nullptr);
    x86Engine.defaultInstallDirectory(directory);
    EXPECT_EQ(L"C:\\Program Files\\Zelnsoft", directory);
}

TEST(InstallerEngineTest, InitializeFindsThePackageOfTheModuleAndReportsTheVersion) {
    ScratchDir scratch;
    const Installer installer = makeInstaller({file(L"a.txt", DEST_INSTALL, noise(100, 1))});
    writeFile(scratch.path() / "setup.exe", installer.bytes);
    GivenSystemFacts f = facts(6, 1, WS, AMD64);
    f.module = scratch.engine(L"setup.exe");
    platform::PosixDirectoryWalk files;
    InstallerEngine engine;
    EXPECT_EQ(RESULT_OK, engine.initialize(f, files, nullptr));
    EXPECT_EQ(RESULT_OK, engine.context().initResult);
    PackageVersion version{};
    EXPECT_TRUE(engine.productVersion(version));
    EXPECT_EQ((PackageVersion{7, 27, 1, 0}), version);
    EXPECT_EQ(L"C:\\Windows\\Sysnative", engine.context().directories[DEST_SYSNATIVE]);

    // Without a package everything the record held is gone and the failure stays.
    GivenSystemFacts missing = f;
    missing.module = scratch.engine(L"absent.exe");
    InstallerEngine failing;
    EXPECT_EQ(ERR_OPEN, failing.initialize(missing, files, nullptr));
    EXPECT_EQ(ERR_OPEN, failing.context().initResult);
    EXPECT_EQ(L"", failing.context().directories[DEST_FONTS]);
    EXPECT_EQ(ARCH_X86, failing.context().archCode);
}

TEST(Paths, BufferOf260UnitsHoldsAt259) {
    EXPECT_TRUE(fitsPathBuffer(std::wstring(259, L'a')));
    EXPECT_FALSE(fitsPathBuffer(std::wstring(260, L'a')));
    std::wstring path = L"unchanged";
    EXPECT_TRUE(composePath(std::wstring(250, L'd'), L"12345678", path));
    EXPECT_EQ(259u, path.size());
    EXPECT_FALSE(composePath(std::wstring(250, L'd'), L"123456789", path));
    EXPECT_EQ(259u, path.size());
    EXPECT_FALSE(composePath(L"", L"tmp.zip", path));
    InstallerContext context;
    EXPECT_EQ(ERR_CREATE_DIRECTORY, setInstallDirectory(context, std::wstring(256, L'd')));
    EXPECT_EQ(ERR_CREATE_DIRECTORY, setInstallDirectory(context, L""));
    EXPECT_EQ(L"", context.tempDir);
    EXPECT_EQ(RESULT_OK, setInstallDirectory(context, L"C:\\Program Files\\Zelnsoft"));
    EXPECT_EQ(L"C:\\Program Files\\Zelnsoft\\tmp", context.tempDir);
    EXPECT_EQ(L"C:\\Program Files\\Zelnsoft", context.directories[DEST_INSTALL]);
}

TEST(EnsureDirectories, ReportsExistenceAndCreatesEveryFolderAboveTheFileName) {
    ScratchDir scratch;
    const std::wstring file = scratch.engine(L"a\\b\\c.dat");
    EXPECT_EQ(1, ensureDirectories(file, false));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "a"));
    EXPECT_EQ(1, ensureDirectories(file, true));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "a" / "b"));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "a" / "b" / "c.dat"));
    writeFile(scratch.path() / "a" / "b" / "c.dat", {1});
    EXPECT_EQ(0, ensureDirectories(file, false));
    EXPECT_EQ(0, ensureDirectories(file, true));
    // A trailing separator asks for the folder itself.
    EXPECT_EQ(1, ensureDirectories(scratch.engine(L"d\\e\\"), true));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "d" / "e"));
}

TEST(EnsureDirectories, FoldersWithDotsAreCreatedAndAFileNameWithoutOneIsNot) {
    ScratchDir scratch;
    EXPECT_EQ(1, ensureDirectories(scratch.engine(L"first.last\\AppData\\v1.2\\data.bin"), true));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "first.last" / "AppData" / "v1.2"));
    EXPECT_EQ(1, ensureDirectories(scratch.engine(L"bin\\LICENSE"), true));
    EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "bin"));
    EXPECT_FALSE(std::filesystem::exists(scratch.path() / "bin" / "LICENSE"));
}

TEST(EnsureDirectories, FailsOnAnEmptyFirstComponentOrAFileInTheWay) {
    ScratchDir scratch;
    EXPECT_EQ(ERR_CREATE_DIRECTORY, ensureDirectories(L"\\ZelnIme.ime", true));
    writeFile(scratch.path() / "blocker", {1});
    EXPECT_EQ(ERR_CREATE_DIRECTORY, ensureDirectories(scratch.engine(L"blocker\\sub\\f.txt"), true));
    EXPECT_EQ(1, ensureDirectories(L"", true));
}

TEST(ReportProgress, SendsOnlyChangedPercentagesAndRunsSilentlyWithoutAListener) {
    InstallerContext context;
    reportProgress(context, 3);
    EXPECT_EQ(3u, context.lastProgress);
    RecordingListener listener;
    context.listener = &listener;
    for (const std::uint32_t p : {3u, 4u, 4u, 5u, 5u, 4u}) {
        reportProgress(context, p);
    }
    EXPECT_EQ((std::vector<int>{4, 5, 4}), listener.progress);
    EXPECT_TRUE(listener.others.empty());
    clearRecord(context);
    EXPECT_EQ(0u, context.lastProgress);
    EXPECT_EQ(&listener, context.listener);
}

}  // namespace
