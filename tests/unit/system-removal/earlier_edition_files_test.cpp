// Removal of earlier editions' files: the pre-check's decisions through the install's journal and the undo of
// a pre-check that stopped, the tree listing and deletion, and the default folders, against a fake file tree,
// fake version resources and an install log in a file of its own.
#include "system/EarlierEditions.h"

#include "platform/fake/FakeDirectoryWalk.h"
#include "platform/fake/FakeVersionInfo.h"
#include "tests/unit/engine/JournalFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

using platform::FakeDirectoryWalk;
using platform::FakeVersionInfo;

const std::wstring kWindows = L"C:\\Windows";
const std::wstring kSystem32 = L"C:\\Windows\\System32\\";
const std::wstring kSysnative = L"C:\\Windows\\Sysnative\\";
// Where System32 really lies for the installer, a 32-bit program on 64-bit Windows.
const std::wstring kSysWow64 = L"C:\\Windows\\SysWOW64";
const PackageVersion kImeVersion = {7, 27, 1, 0};
const PackageVersion kTextServiceVersion = {1, 3, 10, 0};

std::vector<std::wstring> paths(const TreeList& list) {
    std::vector<std::wstring> result;
    for (const TreeNode& node : list) result.push_back(node.path + (node.isDirectory ? L"\\" : L""));
    return result;
}

TEST(ListTree, PutsEveryFolderAfterItsContentsAndTheStartLast) {
    FakeDirectoryWalk files;
    files.addFile(L"C:\\T\\a.txt");
    files.addFile(L"C:\\T\\sub\\b.txt");
    files.addFile(L"C:\\T\\sub\\deep\\c.txt");
    files.addDirectory(L"C:\\T\\sub\\empty");
    files.addFile(L"C:\\T\\.hidden\\x.txt");

    const std::vector<std::wstring> expected = {
        L"C:\\T\\sub\\empty\\", L"C:\\T\\sub\\deep\\c.txt", L"C:\\T\\sub\\deep\\", L"C:\\T\\sub\\b.txt",
        L"C:\\T\\sub\\",        L"C:\\T\\a.txt",            L"C:\\T\\"};
    EXPECT_EQ(expected, paths(listTree(files, L"C:\\T", {})));
    EXPECT_TRUE(paths(listTree(files, L"C:\\Missing", {})).empty());

    // A list already begun is extended in front and not given the start folder again.
    TreeList begun;
    begun.push_front({L"C:\\earlier", 0});
    const auto extended = paths(listTree(files, L"C:\\T\\sub\\deep", std::move(begun)));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\T\\sub\\deep\\c.txt", L"C:\\earlier"}), extended);
}

TEST(DeleteTree, RemovesContentsFirstAndKeepsDotFoldersWithTheirParents) {
    FakeDirectoryWalk files;
    files.addFile(L"C:\\T\\a.txt");
    files.addFile(L"C:\\T\\keep\\.git\\config");
    files.addFile(L"C:\\T\\keep\\b.txt");
    files.addFile(L"C:\\T\\gone\\c.txt");

    EXPECT_EQ(1, deleteTree(files, L"C:\\T"));

    const std::vector<std::wstring> expected = {
        L"delete C:\\T\\keep\\b.txt", L"rmdir C:\\T\\keep", L"delete C:\\T\\gone\\c.txt", L"rmdir C:\\T\\gone",
        L"delete C:\\T\\a.txt",       L"rmdir C:\\T"};
    EXPECT_EQ(expected, files.removals);
    const std::vector<std::wstring> left = {L"C:", L"C:\\T", L"C:\\T\\keep", L"C:\\T\\keep\\.git",
                                            L"C:\\T\\keep\\.git\\config"};
    std::vector<std::wstring> remaining;
    for (const auto& node : files.nodes) remaining.push_back(node.first);
    EXPECT_EQ(left, remaining);
}

TEST(DeleteTree, RemovesALinkButNothingBehindIt) {
    FakeDirectoryWalk files;
    files.addLink(L"C:\\T\\link");
    files.addFile(L"C:\\T\\link\\elsewhere.txt");
    deleteTree(files, L"C:\\T");
    EXPECT_TRUE(files.exists(L"C:\\T\\link\\elsewhere.txt"));
    EXPECT_FALSE(files.exists(L"C:\\T\\link"));
    EXPECT_EQ((std::vector<std::wstring>{L"rmdir C:\\T\\link", L"rmdir C:\\T"}), files.removals);
}

TEST(DeleteTree, LeavesAPathTooLongToBuildAndItsParents) {
    FakeDirectoryWalk files;
    const std::wstring longName(260 - std::wstring(L"C:\\T\\sub\\").size(), L'n');
    files.addFile(L"C:\\T\\sub\\" + longName);
    files.addFile(L"C:\\T\\short.txt");
    deleteTree(files, L"C:\\T");
    EXPECT_TRUE(files.exists(L"C:\\T\\sub\\" + longName));
    EXPECT_FALSE(files.exists(L"C:\\T\\short.txt"));
    EXPECT_TRUE(files.exists(L"C:\\T\\sub"));
}

TEST(DeleteTree, DoesNothingForAMissingFolder) {
    FakeDirectoryWalk files;
    files.addFile(L"C:\\Other\\file.txt");
    EXPECT_EQ(1, deleteTree(files, L"C:\\Missing"));
    EXPECT_TRUE(files.removals.empty());
}

// The pre-check through the install's journal, as the install runs it.
struct PreCheck : ::testing::Test {
    enginetest::JournalOverFakes run;
    FakeDirectoryWalk& files = run.files;
    FakeVersionInfo versions;
    ModuleRemoval modules{run.journal.files(), kWindows};

    void module(const std::wstring& path, std::optional<PackageVersion> version) {
        files.addFile(path);
        if (version) versions.versions[path] = *version;
    }
    InstallResult check() { return clearOutdatedImeModules(versions, modules, kImeVersion, kTextServiceVersion); }
};

TEST_F(PreCheck, KeepsOnlyModulesOfExactlyThePackagedVersions) {
    module(kSystem32 + L"ZelnsoftZelnCode.ime", kImeVersion);
    module(kSysnative + L"ZelnsoftMIM.ime", std::nullopt);
    module(kSystem32 + L"ZelnIme.ime", kImeVersion);
    module(kSysnative + L"ZelnIme.ime", PackageVersion{7, 27, 1, 1});
    module(kSystem32 + L"ZelnImeTSF.ime", std::nullopt);
    module(kSysnative + L"ZelnImeTSF.ime", kTextServiceVersion);
    module(kSystem32 + L"Other.ime", std::nullopt);
    // Programs of both kinds have loaded the outdated modules of their own kind.
    files.mapped = {kSysnative + L"ZelnIme.ime", kSystem32 + L"ZelnImeTSF.ime"};

    EXPECT_EQ(RESULT_OK, check());
    run.journal.commit();

    EXPECT_TRUE(files.exists(kSystem32 + L"ZelnIme.ime"));
    EXPECT_TRUE(files.exists(kSysnative + L"ZelnImeTSF.ime"));
    EXPECT_TRUE(files.exists(kSystem32 + L"Other.ime"));
    for (const auto& gone : {kSystem32 + L"ZelnsoftZelnCode.ime", kSysnative + L"ZelnsoftMIM.ime",
                             kSysnative + L"ZelnIme.ime", kSystem32 + L"ZelnImeTSF.ime",
                             kSystem32 + L"ZelnsoftZelnCode.ime.1.old", kSysnative + L"ZelnsoftMIM.ime.1.old"}) {
        EXPECT_FALSE(files.exists(gone)) << gone;
    }
    EXPECT_TRUE(files.exists(kSysnative + L"ZelnIme.ime.1.old"));
    EXPECT_TRUE(files.exists(kSystem32 + L"ZelnImeTSF.ime.1.old"));
    EXPECT_EQ((std::vector<std::wstring>{kSystem32 + L"ZelnIme.ime.1.old", kSysWow64 + L"\\ZelnImeTSF.ime.1.old"}),
              files.restartDeletions);
}

TEST_F(PreCheck, ComparesEachModuleWithItsOwnVersionAndTakesOutAnUnreadableOne) {
    module(kSystem32 + L"ZelnImeTSF.ime", kImeVersion);
    module(kSystem32 + L"ZelnIme.ime", PackageVersion{0, 0, 0, 0});
    versions.unreadable.insert(kSystem32 + L"ZelnIme.ime");
    // An unreadable version is not taken for 0.0.0.0, even when that is the packaged one.
    EXPECT_EQ(RESULT_OK, clearOutdatedImeModules(versions, modules, {0, 0, 0, 0}, kTextServiceVersion));
    EXPECT_FALSE(run.journal.files().exists(kSystem32 + L"ZelnImeTSF.ime"));
    EXPECT_FALSE(run.journal.files().exists(kSystem32 + L"ZelnIme.ime"));
}

// The input method in use stays complete: a module held open stops the pre-check, and the install's undo
// puts every module set aside before it, loaded or not, back under its name, with nothing deleted now or at
// restart.
TEST_F(PreCheck, StopsAtTheFirstModuleThatCannotBeMovedAndTheUndoPutsEveryModuleBack) {
    module(kSystem32 + L"ZelnsoftMIM.ime", std::nullopt);
    module(kSysnative + L"ZelnsoftMIM.ime", std::nullopt);
    module(kSystem32 + L"ZelnIme.ime", std::nullopt);
    module(kSysnative + L"ZelnImeTSF.ime", std::nullopt);
    files.mapped.insert(kSysnative + L"ZelnsoftMIM.ime");
    files.locked.insert(kSystem32 + L"ZelnIme.ime");

    EXPECT_EQ(ERR_PRECHECK, check());
    struct NoSystemRecords final : SystemUndo {
        bool undoChange(const JournalRecord&, InstallLog&) override { return false; }
    } system;
    EXPECT_TRUE(run.journal.undo(system));

    const std::wstring mim32 = kSystem32 + L"ZelnsoftMIM.ime", mim64 = kSysnative + L"ZelnsoftMIM.ime";
    EXPECT_EQ((std::vector<std::wstring>{L"move " + mim32 + L" to " + mim32 + L".1.old",
                                         L"move " + mim64 + L" to " + mim64 + L".1.old",
                                         L"move " + kSystem32 + L"ZelnIme.ime to " + kSystem32 + L"ZelnIme.ime.1.old",
                                         L"move " + mim64 + L".1.old to " + mim64,
                                         L"move " + mim32 + L".1.old to " + mim32}),
              files.removals);
    for (const auto& kept : {mim32, mim64, kSystem32 + L"ZelnIme.ime", kSysnative + L"ZelnImeTSF.ime"}) {
        EXPECT_TRUE(files.exists(kept)) << kept;
    }
    EXPECT_EQ((std::set<std::wstring>{mim64}), files.mapped);
    EXPECT_TRUE(files.restartDeletions.empty());
    EXPECT_EQ((std::vector<std::wstring>{L"Cannot be set aside: C:\\Windows\\System32\\ZelnIme.ime",
                                         L"Put back: C:\\Windows\\Sysnative\\ZelnsoftMIM.ime",
                                         L"Put back: C:\\Windows\\System32\\ZelnsoftMIM.ime",
                                         L"Undone: 3 changes, every one restored."}),
              run.logLines());
}

TEST_F(PreCheck, TouchesNothingWhenNoModuleIsThere) {
    EXPECT_EQ(RESULT_OK, check());
    EXPECT_TRUE(files.removals.empty());
    EXPECT_FALSE(run.journal.hasChanges());
}

TEST(RemoveEarlierEditionFiles, DeletesToolsInBothSystemFoldersThenTheDefaultFolders) {
    FakeDirectoryWalk files;
    files.addFile(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\bin\\x.dll");
    files.addFile(L"C:\\Program Files\\Zelnsoft\\Update\\ZNService2.exe");
    files.addFile(L"C:\\Program Files\\Zelnsoft\\RivezuziDAD2016\\old.dat");
    files.addFile(L"C:\\Program Files\\Zelnsoft\\Chosen\\mine.dat");
    files.addFile(kSysnative + L"ZelnIMECnvrt.dll");
    files.addFile(kSysnative + L"ZelnIme.ime");

    ModuleRemoval modules(files, kWindows);
    EXPECT_EQ(1, removeEarlierEditionFiles(files, modules, kWindows));

    const std::vector<std::wstring> firstTen(files.removals.begin(), files.removals.begin() + 10);
    std::vector<std::wstring> expected;
    for (const auto& folder : {kSystem32, kSysnative}) {
        for (const auto* name : {L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime", L"ZelnIMECnvrt.dll",
                                 L"ZelnIMEUninstall2016.exe", L"ZelnIME_REG.exe"}) {
            expected.push_back(L"delete " + folder + name);
        }
    }
    EXPECT_EQ(expected, firstTen);
    std::vector<std::wstring> remaining;
    for (const auto& node : files.nodes) remaining.push_back(node.first);
    const std::vector<std::wstring> left = {
        L"C:", L"C:\\Program Files", L"C:\\Program Files (x86)", L"C:\\Program Files (x86)\\Zelnsoft",
        L"C:\\Program Files\\Zelnsoft", L"C:\\Program Files\\Zelnsoft\\Chosen",
        L"C:\\Program Files\\Zelnsoft\\Chosen\\mine.dat", L"C:\\Windows", L"C:\\Windows\\Sysnative",
        kSysnative + L"ZelnIme.ime"};
    EXPECT_EQ(left, remaining);
}

}  // namespace
