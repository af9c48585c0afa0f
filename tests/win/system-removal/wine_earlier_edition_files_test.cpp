// The outdated-module pre-check and the removal of earlier editions' files on real files under Wine:
// modules with and without version resources in System32 and Sysnative, and program folder trees.
#include "system/EarlierEditions.h"

#include "platform/win32/Win32DirectoryWalk.h"
#include "platform/win32/Win32VersionInfo.h"

#include "PrefixFiles.h"
#include "StandIns.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using prefixfiles::exists;

// The versions the test modules carry (see CMakeLists.txt): the packaged one, one that differs only in the
// revision, and a module without version resource.
const PackageVersion kPackaged = {7, 27, 1, 0};
const PackageVersion kNextRevision = {7, 27, 1, 1};

std::wstring testModule(const wchar_t* name) { return standins::programFolder() + L"\\modules\\" + name; }

struct WineFiles : ::testing::Test {
    platform::Win32DirectoryWalk files;
    platform::Win32VersionInfo versions;
    const std::wstring windows = prefixfiles::windowsDirectory();
    const std::wstring system32 = windows + L"\\System32\\";
    // A 64-bit process has no Sysnative; the folder made here stands in for the one a 32-bit installer sees.
    const std::wstring sysnative = windows + L"\\Sysnative\\";
    const std::wstring drive = windows.substr(0, windows.find_last_of(L'\\'));
};

TEST_F(WineFiles, ReadsTheProductVersionOfARealModule) {
    std::optional<PackageVersion> version;
    ASSERT_TRUE(readProductVersion(versions, testModule(L"packaged.dll"), version));
    EXPECT_EQ(kPackaged, version);
    ASSERT_TRUE(readProductVersion(versions, testModule(L"revision.dll"), version));
    EXPECT_EQ(kNextRevision, version);
    EXPECT_FALSE(readProductVersion(versions, testModule(L"unversioned.dll"), version));
    EXPECT_FALSE(readProductVersion(versions, testModule(L"missing.dll"), version));
}

TEST_F(WineFiles, PreCheckKeepsPackagedModulesAndDeletesTheRestInBothSystemFolders) {
    ASSERT_TRUE(prefixfiles::copyFile(testModule(L"packaged.dll"), system32 + L"ZelnIme.ime"));
    ASSERT_TRUE(prefixfiles::copyFile(testModule(L"revision.dll"), sysnative + L"ZelnIme.ime"));
    ASSERT_TRUE(prefixfiles::copyFile(testModule(L"unversioned.dll"), system32 + L"ZelnImeTSF.ime"));
    ASSERT_TRUE(prefixfiles::copyFile(testModule(L"revision.dll"), sysnative + L"ZelnImeTSF.ime"));
    ASSERT_TRUE(prefixfiles::copyFile(testModule(L"packaged.dll"), system32 + L"ZelnsoftZelnCode.ime"));
    ASSERT_TRUE(prefixfiles::writeFile(sysnative + L"ZelnsoftMIM.ime", "old"));

    EXPECT_EQ(RESULT_OK, clearOutdatedImeModules(files, versions, windows, kPackaged, kNextRevision));

    EXPECT_TRUE(exists(system32 + L"ZelnIme.ime"));
    EXPECT_FALSE(exists(sysnative + L"ZelnIme.ime"));
    EXPECT_FALSE(exists(system32 + L"ZelnImeTSF.ime"));
    EXPECT_TRUE(exists(sysnative + L"ZelnImeTSF.ime"));
    EXPECT_FALSE(exists(system32 + L"ZelnsoftZelnCode.ime"));
    EXPECT_FALSE(exists(sysnative + L"ZelnsoftMIM.ime"));
    DeleteFileW((system32 + L"ZelnIme.ime").c_str());
    DeleteFileW((sysnative + L"ZelnImeTSF.ime").c_str());
}

TEST_F(WineFiles, PreCheckFailsOnAModuleInUse) {
    const std::wstring module = system32 + L"ZelnsoftMIM.ime";
    ASSERT_TRUE(prefixfiles::writeFile(module, "in use"));
    HANDLE held = CreateFileW(module.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(ERR_PRECHECK, clearOutdatedImeModules(files, versions, windows, kPackaged, kPackaged));
    CloseHandle(held);
    EXPECT_TRUE(exists(module));
    EXPECT_EQ(RESULT_OK, clearOutdatedImeModules(files, versions, windows, kPackaged, kPackaged));
    EXPECT_FALSE(exists(module));
}

TEST_F(WineFiles, EarlierEditionFilesGoFromSystemFoldersAndDefaultProgramFolders) {
    for (const auto& folder : {system32, sysnative}) {
        for (const auto* name : {L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime", L"ZelnIMECnvrt.dll",
                                 L"ZelnIMEUninstall2016.exe", L"ZelnIME_REG.exe"}) {
            ASSERT_TRUE(prefixfiles::writeFile(folder + name, "earlier"));
        }
    }
    const std::wstring programs = drive + L"\\Program Files\\Zelnsoft\\";
    const std::wstring programs86 = drive + L"\\Program Files (x86)\\Zelnsoft\\";
    ASSERT_TRUE(prefixfiles::writeFile(programs86 + L"ZelnIME\\dict\\main.dic", "d"));
    ASSERT_TRUE(prefixfiles::writeFile(programs86 + L"ZelnIME\\ZelnIme.exe", "e"));
    ASSERT_TRUE(prefixfiles::writeFile(programs + L"Update\\ZNService2.exe", "s"));
    ASSERT_TRUE(prefixfiles::makeFolders(programs + L"RivezuziDAD2016\\empty\\deeper"));
    ASSERT_TRUE(prefixfiles::writeFile(programs + L"ZelnIME\\.settings\\user.cfg", "kept"));
    ASSERT_TRUE(prefixfiles::writeFile(programs + L"ZelnIME\\readme.txt", "r"));
    ASSERT_TRUE(prefixfiles::writeFile(programs + L"Chosen\\mine.txt", "m"));

    EXPECT_EQ(1, removeEarlierEditionFiles(files, windows));

    for (const auto& folder : {system32, sysnative}) {
        for (const auto* name : {L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime", L"ZelnIMECnvrt.dll",
                                 L"ZelnIMEUninstall2016.exe", L"ZelnIME_REG.exe"}) {
            EXPECT_FALSE(exists(folder + name)) << folder << name;
        }
    }
    EXPECT_FALSE(exists(programs86 + L"ZelnIME"));
    EXPECT_FALSE(exists(programs + L"Update"));
    EXPECT_FALSE(exists(programs + L"RivezuziDAD2016"));
    EXPECT_FALSE(exists(programs + L"ZelnIME\\readme.txt"));
    EXPECT_TRUE(exists(programs + L"ZelnIME\\.settings\\user.cfg"));
    EXPECT_TRUE(exists(programs + L"Chosen\\mine.txt"));
}

}  // namespace
