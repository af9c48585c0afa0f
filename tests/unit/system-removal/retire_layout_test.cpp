// Retiring layouts and the two removal steps as a whole, through the install's journal as the install runs
// them, against fake registry, layouts, broadcasts, shell and files; and the undo of both.
#include "system/EarlierEditions.h"
#include "system/InstalledEdition.h"
#include "system/JournaledRegistry.h"
#include "system/SystemChanges.h"

#include "platform/GivenSystemFacts.h"
#include "platform/fake/FakeBroadcast.h"
#include "platform/fake/FakeDirectoryWalk.h"
#include "platform/fake/FakeKeyboardLayouts.h"
#include "platform/fake/FakeRegistry.h"
#include "platform/fake/FakeShell.h"
#include "tests/unit/engine/JournalFixture.h"

#include <gtest/gtest.h>

namespace {

const std::wstring kLayouts = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\";
const std::wstring kPreload = L"HKEY_CURRENT_USER\\Keyboard Layout\\Preload";

struct Removal : ::testing::Test, SystemUndo {
    enginetest::JournalOverFakes run;
    platform::FakeRegistry registry;
    JournaledRegistry journaledRegistry{registry, run.journal};
    platform::FakeKeyboardLayouts layouts;
    platform::FakeBroadcast broadcast;
    platform::FakeShell shell;
    platform::FakeDirectoryWalk& files = run.files;
    platform::GivenSystemFacts& facts = run.facts;
    RemovalServices services{journaledRegistry, layouts, broadcast, shell, run.journal.files(), facts, run.log,
                             run.journal};

    bool undoChange(const JournalRecord& record, InstallLog& log) override {
        return undoSystemChange(UndoServices{registry, shell, layouts, broadcast}, record, log);
    }

    void layout(const std::wstring& id, const std::wstring& imeFile) {
        registry.putString(kLayouts + id, L"IME File", imeFile);
        registry.putString(kLayouts + id, L"Layout File", L"kbdus.dll");
    }
    std::vector<std::wstring> loadedIds() const {
        std::vector<std::wstring> ids;
        for (const auto& load : layouts.loads) ids.push_back(load.layoutId);
        return ids;
    }
};

TEST_F(Removal, RetiredLayoutIsAnnouncedCycledAndGoneFromListAndPreload) {
    layout(L"E0210804", L"ZelnIme.ime");
    layout(L"E0310850", L"ZelnIme.ime");
    registry.putString(kPreload, L"1", L"00000804");
    registry.putString(kPreload, L"2", L"E0210804");
    registry.putString(kPreload, L"3", L"E0310850");

    retireLayout(services, L"E0210804");

    ASSERT_EQ(1u, broadcast.messages.size());
    EXPECT_TRUE(broadcast.messages[0].posted);
    EXPECT_EQ(0x51u, broadcast.messages[0].message);
    EXPECT_EQ((std::vector<std::wstring>{L"E0210804", L"E0210804"}), loadedIds());
    for (const auto& load : layouts.loads) EXPECT_EQ(1u, load.flags);
    EXPECT_EQ(2u, layouts.unloads.size());
    EXPECT_FALSE(registry.hasKey(kLayouts + L"E0210804"));
    EXPECT_TRUE(registry.hasKey(kLayouts + L"E0310850"));
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"3"}), registry.valueNames(kPreload));
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(Removal, LayoutThatCannotBeLoadedIsNotUnloadedButStillDeleted) {
    layout(L"E0210804", L"ZelnIme.ime");
    layouts.failLoads = true;
    retireLayout(services, L"E0210804");
    EXPECT_EQ(2u, layouts.loads.size());
    EXPECT_TRUE(layouts.unloads.empty());
    EXPECT_FALSE(registry.hasKey(kLayouts + L"E0210804"));
}

TEST_F(Removal, EarlierEditionsRetireOnlyTheEarlierModulesLayouts) {
    layout(L"E0010804", L"ZelnsoftZelnCode.ime");
    layout(L"E0020804", L"zelnsoftmim.ime");
    layout(L"E0210804", L"ZelnIme.ime");
    registry.putString(kPreload, L"1", L"E0010804");
    registry.putString(kPreload, L"2", L"E0210804");
    registry.putString(kPreload, L"3", L"E0020804");
    files.addFile(L"C:\\Windows\\System32\\ZelnsoftMIM.ime");
    // A 32-bit program still has the earlier module loaded, as the installer (under WoW64) finds it.
    files.mapped.insert(L"C:\\Windows\\System32\\ZelnsoftMIM.ime");
    facts.wow64SystemDir = L"C:\\Windows\\SysWOW64";

    EXPECT_EQ(RESULT_OK, removeEarlierEditions(services));
    run.journal.commit();

    EXPECT_EQ((std::vector<std::wstring>{L"E0010804", L"E0010804", L"E0020804", L"E0020804"}), loadedIds());
    EXPECT_EQ((std::vector<std::wstring>{L"E0210804"}), registry.subkeyNames(kLayouts));
    EXPECT_EQ((std::vector<std::wstring>{L"2"}), registry.valueNames(kPreload));
    EXPECT_FALSE(files.exists(L"C:\\Windows\\System32\\ZelnsoftMIM.ime"));
    EXPECT_TRUE(files.exists(L"C:\\Windows\\System32\\ZelnsoftMIM.ime.1.old"));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Windows\\SysWOW64\\ZelnsoftMIM.ime.1.old"}), files.restartDeletions);
}

TEST_F(Removal, NoLanguageChangeIsPostedWhenNoLayoutUsesAnEarlierModule) {
    layout(L"E0210804", L"ZelnIme.ime");
    EXPECT_EQ(RESULT_OK, removeEarlierEditions(services));
    EXPECT_TRUE(broadcast.messages.empty());
    EXPECT_TRUE(layouts.loads.empty());
}

TEST_F(Removal, InstalledEditionRetiresBothLanguagesLayoutsAndUnregistersTheTextService) {
    layout(L"E0210804", L"ZelnIme.ime");
    layout(L"E0220804", L"Other.ime");
    layout(L"E0310850", L"ZELNIME.IME");
    registry.putString(kPreload, L"1", L"E0310850");
    registry.putString(kPreload, L"2", L"E0210804");
    registry.putString(kPreload, L"3", L"00000409");
    registry.putString(L"HKEY_CURRENT_USER\\Software\\Zelnsoft\\RudeRadod", L"KLMN", L"E0310850");
    files.addFile(L"C:\\Windows\\System32\\ZelnIme.ime");
    files.addFile(L"C:\\Windows\\Sysnative\\ZelnIme.ime");
    files.mapped.insert(L"C:\\Windows\\Sysnative\\ZelnIme.ime");
    facts.wow64SystemDir = L"C:\\Windows\\SysWOW64";
    files.addFile(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\ZelnIme.exe");
    shell.systemDirectoryPath = L"C:\\Windows\\system32";

    EXPECT_EQ(RESULT_OK, removeInstalledEdition(services));
    run.journal.commit();

    EXPECT_EQ((std::vector<std::wstring>{L"E0210804", L"E0210804", L"E0310850", L"E0310850"}), loadedIds());
    EXPECT_EQ((std::vector<std::wstring>{L"E0220804"}), registry.subkeyNames(kLayouts));
    EXPECT_EQ((std::vector<std::wstring>{L"3"}), registry.valueNames(kPreload));
    EXPECT_TRUE(registry.hasKey(L"HKEY_CURRENT_USER\\Software\\Zelnsoft\\RudeRadod"));
    ASSERT_EQ(1u, shell.executions.size());
    EXPECT_EQ(L"open", shell.executions[0].verb);
    EXPECT_EQ(L"C:\\Windows\\system32\\regsvr32.exe", shell.executions[0].file);
    EXPECT_EQ(L"/s- /u C:\\Windows\\system32\\ZelnImeTSF.ime", shell.executions[0].parameters);
    EXPECT_EQ(L"C:\\Windows\\system32", shell.executions[0].directory);
    EXPECT_EQ(0x40u, shell.executions[0].mask);
    EXPECT_EQ(5, shell.executions[0].show);
    EXPECT_EQ((std::vector<std::uint32_t>{255}), shell.systemDirectoryBuffers);
    EXPECT_FALSE(files.exists(L"C:\\Windows\\System32\\ZelnIme.ime"));
    EXPECT_FALSE(files.exists(L"C:\\Windows\\Sysnative\\ZelnIme.ime"));
    // A 64-bit program has the 64-bit module loaded: it goes at restart, from the real 64-bit system folder.
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Windows\\System32\\ZelnIme.ime.1.old"}), files.restartDeletions);
    EXPECT_FALSE(files.exists(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME"));
    EXPECT_EQ(0u, registry.openHandleCount());
}

// Both removals over an installed present edition and an earlier one, then undone: every key, value, preload
// slot and file is as it was, the retired layouts are loaded again and the text service registered again
// once its module is back.
TEST_F(Removal, UndoingBothRemovalsPutsEveryKeyFileAndLayoutBack) {
    layout(L"E0210804", L"ZelnIme.ime");
    layout(L"E0310850", L"ZelnIme.ime");
    layout(L"E0010804", L"ZelnsoftZelnCode.ime");
    registry.putString(kPreload, L"1", L"E0310850");
    registry.putString(kPreload, L"2", L"E0010804");
    registry.putString(kPreload, L"3", L"E0210804");
    registry.putString(L"HKEY_CURRENT_USER\\Software\\ZelnSoft\\ZelnIme", L"Dict", L"main");
    registry.putString(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                       L"ZelnIME2016",
                       L"DisplayName", L"earlier");
    for (const auto* module : {L"ZelnIme.ime", L"ZelnImeTSF.ime", L"ZelnsoftZelnCode.ime"}) {
        files.addFile(std::wstring(L"C:\\Windows\\System32\\") + module);
        files.addFile(std::wstring(L"C:\\Windows\\Sysnative\\") + module);
    }
    files.mapped.insert(L"C:\\Windows\\Sysnative\\ZelnIme.ime");
    files.addFile(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\dict\\main.dic");
    shell.systemDirectoryPath = L"C:\\Windows\\System32";
    const std::vector<std::wstring> registryBefore = registry.contents();
    const std::vector<std::wstring> filesBefore = run.tree();

    EXPECT_EQ(RESULT_OK, removeInstalledEdition(services));
    EXPECT_EQ(RESULT_OK, removeEarlierEditions(services));
    ASSERT_NE(registryBefore, registry.contents());
    layouts.loads.clear();
    shell.executions.clear();

    EXPECT_TRUE(run.journal.undo(*this));

    EXPECT_EQ(registryBefore, registry.contents());
    EXPECT_EQ(filesBefore, run.tree());
    EXPECT_TRUE(files.restartDeletions.empty());
    EXPECT_EQ((std::set<std::wstring>{L"C:\\Windows\\Sysnative\\ZelnIme.ime"}), files.mapped);
    // Loaded again the last retired first, activated as registration loads them.
    EXPECT_EQ((std::vector<std::wstring>{L"E0010804", L"E0310850", L"E0210804"}), loadedIds());
    for (const auto& load : layouts.loads) EXPECT_EQ(1u, load.flags);
    ASSERT_EQ(1u, shell.executions.size());
    EXPECT_EQ(L"/s- C:\\Windows\\System32\\ZelnImeTSF.ime", shell.executions[0].parameters);
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(Removal, InstalledEditionOnACleanSystemStillRunsTheUnregistration) {
    EXPECT_EQ(RESULT_OK, removeInstalledEdition(services));
    EXPECT_TRUE(layouts.loads.empty());
    EXPECT_EQ(1u, shell.executions.size());
    shell.hasSystemDirectory = false;
    EXPECT_EQ(RESULT_OK, unregisterTextService(services));
    EXPECT_EQ(1u, shell.executions.size());
}

}  // namespace
