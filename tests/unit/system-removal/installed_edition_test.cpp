// Removal of the installed edition's layouts search, superseded product keys and files, against fakes.
#include "system/InstalledEdition.h"

#include "platform/fake/FakeDirectoryWalk.h"
#include "platform/fake/FakeRegistry.h"
#include "tests/unit/engine/JournalFixture.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using platform::FakeDirectoryWalk;
using platform::FakeRegistry;

const std::wstring kLayouts = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\";
const std::wstring kProducts = L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Installer\\Products\\";
const std::wstring kUninstall = L"\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr wchar_t kSuperseded[] = L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}";

TEST(FindLayoutsByImeFile, CollectsEveryLayoutOfTheModuleInListOrder) {
    FakeRegistry registry;
    std::vector<std::wstring> ids = {L"stale"};
    EXPECT_EQ(0u, findLayoutsByImeFile(registry, ids));
    EXPECT_TRUE(ids.empty());

    registry.putString(kLayouts + L"E0210804", L"IME File", L"ZelnIme.ime");
    registry.putString(kLayouts + L"E0220804", L"IME File", L"ZelnsoftMIM.ime");
    registry.putString(kLayouts + L"E0310850", L"IME File", L"ZELNIME.IME");
    registry.putString(kLayouts + L"E0410850X", L"IME File", L"ZelnIme.ime");
    registry.putString(kLayouts + L"00000409", L"Layout File", L"kbdus.dll");

    EXPECT_EQ(2u, findLayoutsByImeFile(registry, ids));
    EXPECT_EQ((std::vector<std::wstring>{L"E0210804", L"E0310850"}), ids);
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST(FindLayoutsByImeFile, StopsAtOneHundred) {
    FakeRegistry registry;
    for (int i = 0; i < 105; ++i) {
        wchar_t id[16];
        std::swprintf(id, 16, L"E%03X0804", i);
        registry.putString(kLayouts + id, L"IME File", L"ZelnIme.ime");
    }
    std::vector<std::wstring> ids;
    EXPECT_EQ(100u, findLayoutsByImeFile(registry, ids));
    EXPECT_EQ(L"E0630804", ids.back());
}

TEST(RemoveSupersededProductKeys, DeletesTheEntryAndBothProductKeysLeafFirst) {
    FakeRegistry registry;
    registry.putString(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" + kUninstall + kSuperseded, L"DisplayName", L"x");
    registry.putString(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" + kUninstall + L"{PRESENT}", L"DisplayName", L"y");
    for (const auto* product : {L"D5EE8CCB715527B48AD7A8ED00B24CC6", L"C7987ABC841FAD445B0C78A2037E562E"}) {
        registry.putString(kProducts + product + L"\\SourceList\\Media", L"1", L";");
        registry.putString(kProducts + product + L"\\SourceList\\Net", L"1", L"C:\\");
    }
    registry.putKey(kProducts + L"C7987ABC841FAD445B0C78A2037E562E\\Patches");
    registry.putString(kProducts + L"PRESENTKEY", L"UpgradeCode", L"{UPGRADE}");

    removeSupersededProductKeys(registry);

    EXPECT_EQ((std::vector<std::wstring>{L"{PRESENT}"}),
              registry.subkeyNames(L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node" + kUninstall));
    EXPECT_EQ((std::vector<std::wstring>{L"C7987ABC841FAD445B0C78A2037E562E", L"PRESENTKEY"}),
              registry.subkeyNames(kProducts));
    EXPECT_EQ((std::vector<std::wstring>{L"Patches"}),
              registry.subkeyNames(kProducts + L"C7987ABC841FAD445B0C78A2037E562E"));
    EXPECT_EQ(0u, registry.openHandleCount());
}

// Through the install's journal, as the install runs it: until the install succeeds everything taken out
// is only set aside, so the application folders stay; success deletes what was set aside, the module in use
// at the restart, and then the folders.
TEST(RemoveInstalledFiles, TakesTheModulesOfBothKindsAndTheDefaultFoldersOnly) {
    enginetest::JournalOverFakes run;
    FakeDirectoryWalk& files = run.files;
    ModuleRemoval modules(run.journal.files(), L"C:\\Windows");
    for (const auto* folder : {L"C:\\Windows\\System32\\", L"C:\\Windows\\Sysnative\\"}) {
        files.addFile(std::wstring(folder) + L"ZelnIme.ime");
        files.addFile(std::wstring(folder) + L"ZelnImeTSF.ime");
    }
    files.mapped.insert(L"C:\\Windows\\System32\\ZelnImeTSF.ime");
    files.addFile(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\dict\\main.dic");
    files.addFile(L"C:\\Program Files\\Zelnsoft\\ZelnIME\\ZelnIme.exe");
    files.addFile(L"C:\\Program Files (x86)\\Zelnsoft\\Update\\ZNService2.exe");
    files.addFile(L"D:\\Chosen\\Zelnsoft\\ZelnIME\\ZelnIme.exe");

    EXPECT_EQ(1, removeInstalledFiles(run.journal.files(), modules, L"C:\\Windows"));
    for (const auto* folder : {L"C:\\Windows\\System32\\", L"C:\\Windows\\Sysnative\\"}) {
        EXPECT_FALSE(run.journal.files().exists(std::wstring(folder) + L"ZelnIme.ime"));
        EXPECT_TRUE(files.exists(std::wstring(folder) + L"ZelnIme.ime.1.old"));
    }
    EXPECT_TRUE(files.exists(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\dict\\main.dic.1.old"));

    EXPECT_FALSE(run.journal.commit());
    for (const auto* folder : {L"C:\\Windows\\System32\\", L"C:\\Windows\\Sysnative\\"}) {
        EXPECT_FALSE(files.exists(std::wstring(folder) + L"ZelnIme.ime"));
        EXPECT_FALSE(files.exists(std::wstring(folder) + L"ZelnIme.ime.1.old"));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\Windows\\SysWOW64\\ZelnImeTSF.ime.1.old"}), files.restartDeletions);
    EXPECT_FALSE(files.exists(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME"));
    EXPECT_FALSE(files.exists(L"C:\\Program Files\\Zelnsoft\\ZelnIME"));
    EXPECT_TRUE(files.exists(L"C:\\Program Files (x86)\\Zelnsoft\\Update\\ZNService2.exe"));
    EXPECT_TRUE(files.exists(L"D:\\Chosen\\Zelnsoft\\ZelnIME\\ZelnIme.exe"));
}

}  // namespace
