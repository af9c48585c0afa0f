// The outdated-module pre-check and the removal of earlier editions' files on real files under Wine, through
// the install's journal as the install runs them: modules with and without version resources in System32 and
// Sysnative, modules in use, and program folder trees; the journal's commit and undo on real files.
#include "system/EarlierEditions.h"

#include "engine/ChangeJournal.h"

#include "platform/win32/Win32DirectoryWalk.h"
#include "platform/win32/Win32VersionInfo.h"
#include "platform/win32/WindowsSystemFacts.h"

#include "PrefixFiles.h"
#include "StandIns.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <vector>

namespace {

using prefixfiles::exists;

// The versions the test modules carry (see CMakeLists.txt): the packaged one, one that differs only in the
// revision, and a module without version resource.
const PackageVersion kPackaged = {7, 27, 1, 0};
const PackageVersion kNextRevision = {7, 27, 1, 1};

std::wstring testModule(const wchar_t* name) { return standins::programFolder() + L"\\modules\\" + name; }

std::wstring lowerCase(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towlower(c); });
    return text;
}

constexpr wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// The files the system deletes at its next start, in lower case: the sources of PendingFileRenameOperations
// whose target is empty.
std::vector<std::wstring> deletedAtRestart() {
    std::vector<std::wstring> paths;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS) return paths;
    std::vector<wchar_t> data(8192);
    DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                         &bytes) == ERROR_SUCCESS) {
        const std::size_t count = bytes / sizeof(wchar_t);
        for (std::size_t at = 0; at < count && data[at] != L'\0';) {
            const std::wstring source(&data[at]);
            at += source.size() + 1;
            const std::wstring target(at < count ? &data[at] : L"");
            at += target.size() + 1;
            if (target.empty()) paths.push_back(lowerCase(source));
        }
    }
    RegDeleteValueW(key, L"PendingFileRenameOperations");
    RegCloseKey(key);
    return paths;
}

// Where the system's start-up, a 64-bit program, finds this process's file: under WoW64, System32 is
// SysWOW64 and Sysnative is System32; a 64-bit process sees the folders as they are.
std::wstring realPath(const std::wstring& windows, const std::wstring& folder, const std::wstring& name) {
    BOOL underWow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &underWow64);
    const std::wstring real = !underWow64 ? folder : folder == L"System32" ? L"SysWOW64" : L"System32";
    return lowerCase(L"\\??\\" + windows + L"\\" + real + L"\\" + name);
}

// The pre-check journals no system records of its own.
struct NoSystemRecords final : SystemUndo {
    bool undoChange(const JournalRecord&, InstallLog&) override { return false; }
};

struct WineFiles : ::testing::Test {
    platform::Win32DirectoryWalk files;
    platform::Win32VersionInfo versions;
    platform::WindowsSystemFacts facts{GetModuleHandleW(nullptr)};
    InstallLog log;
    const std::wstring windows = prefixfiles::windowsDirectory();
    const std::wstring system32 = windows + L"\\System32\\";
    // A 64-bit process has no Sysnative; the folder made here stands in for the one a 32-bit installer sees.
    const std::wstring sysnative = windows + L"\\Sysnative\\";
    const std::wstring drive = windows.substr(0, windows.find_last_of(L'\\'));
    ChangeJournal journal{files, facts, log};
    ModuleRemoval modules{journal.files(), windows};

    WineFiles() { EXPECT_TRUE(journal.begin(drive + L"\\journal-test\\install.journal")); }
    // A test that neither commits nor undoes leaves nothing of the journal behind.
    ~WineFiles() override {
        NoSystemRecords none;
        journal.undo(none);
    }
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

    EXPECT_EQ(RESULT_OK, clearOutdatedImeModules(versions, modules, kPackaged, kNextRevision));
    EXPECT_TRUE(exists(sysnative + L"ZelnIme.ime.1.old")) << "only set aside until the install succeeds";
    EXPECT_FALSE(journal.commit());

    EXPECT_FALSE(exists(sysnative + L"ZelnIme.ime.1.old"));
    EXPECT_FALSE(exists(drive + L"\\journal-test"));
    EXPECT_TRUE(exists(system32 + L"ZelnIme.ime"));
    EXPECT_FALSE(exists(sysnative + L"ZelnIme.ime"));
    EXPECT_FALSE(exists(system32 + L"ZelnImeTSF.ime"));
    EXPECT_TRUE(exists(sysnative + L"ZelnImeTSF.ime"));
    EXPECT_FALSE(exists(system32 + L"ZelnsoftZelnCode.ime"));
    EXPECT_FALSE(exists(sysnative + L"ZelnsoftMIM.ime"));
    DeleteFileW((system32 + L"ZelnIme.ime").c_str());
    DeleteFileW((sysnative + L"ZelnImeTSF.ime").c_str());
}

// Modules this program has loaded, as the input method's users have them loaded, cannot be deleted but are
// set aside, and once the install succeeds the system is told to delete them at restart by their real paths.
// A module held open without delete sharing stops the pre-check, and the undo puts every module back under its
// name.
TEST_F(WineFiles, PreCheckSetsAsideLoadedModulesAndPutsThemBackWhenOneIsHeldOpen) {
    const std::wstring loaded32 = system32 + L"ZelnsoftZelnCode.ime";
    const std::wstring loaded64 = sysnative + L"ZelnsoftZelnCode.ime";
    const std::wstring held = system32 + L"ZelnsoftMIM.ime";
    ASSERT_TRUE(prefixfiles::copyFile(testModule(L"revision.dll"), loaded32));
    ASSERT_TRUE(prefixfiles::copyFile(testModule(L"revision.dll"), loaded64));
    ASSERT_TRUE(prefixfiles::writeFile(held, "in use"));
    const HMODULE module32 = LoadLibraryW(loaded32.c_str());
    const HMODULE module64 = LoadLibraryW(loaded64.c_str());
    ASSERT_NE(nullptr, module32);
    ASSERT_NE(nullptr, module64);
    EXPECT_FALSE(DeleteFileW(loaded32.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    EXPECT_EQ(ERR_PRECHECK, clearOutdatedImeModules(versions, modules, kPackaged, kPackaged));
    NoSystemRecords system;
    EXPECT_TRUE(journal.undo(system));
    for (const auto& path : {loaded32, loaded64, held}) {
        EXPECT_TRUE(exists(path)) << path;
        EXPECT_FALSE(exists(path + L".1.old")) << path;
    }
    EXPECT_TRUE(deletedAtRestart().empty());

    CloseHandle(holder);
    ASSERT_TRUE(journal.begin(drive + L"\\journal-test\\install.journal"));
    EXPECT_EQ(RESULT_OK, clearOutdatedImeModules(versions, modules, kPackaged, kPackaged));
    EXPECT_FALSE(journal.commit());
    for (const auto& path : {loaded32, loaded64, held}) EXPECT_FALSE(exists(path)) << path;
    EXPECT_FALSE(exists(held + L".1.old"));
    EXPECT_EQ((std::vector<std::wstring>{realPath(windows, L"System32", L"ZelnsoftZelnCode.ime.1.old"),
                                         realPath(windows, L"Sysnative", L"ZelnsoftZelnCode.ime.1.old")}),
              deletedAtRestart());
    FreeLibrary(module32);
    FreeLibrary(module64);
    for (const auto& path : {loaded32, loaded64}) EXPECT_TRUE(DeleteFileW((path + L".1.old").c_str())) << path;
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

    EXPECT_EQ(1, removeEarlierEditionFiles(journal.files(), modules, windows));
    EXPECT_TRUE(exists(programs86 + L"ZelnIME\\dict\\main.dic.1.old")) << "only set aside until the install succeeds";
    EXPECT_FALSE(journal.commit());

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
