// Removal of earlier editions and of the installed edition on a real Wine prefix, through the install's
// journal as the install runs them: layouts, preload list, uninstall entries, settings and Windows Installer
// keys, and files, prepared here and checked once the install's commit is done, or after its undo.
#include "system/EarlierEditions.h"
#include "system/InstalledEdition.h"
#include "system/JournaledRegistry.h"
#include "system/SystemChanges.h"

#include "platform/win32/Win32Broadcast.h"
#include "platform/win32/Win32DirectoryWalk.h"
#include "platform/win32/Win32KeyboardLayouts.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32VersionInfo.h"
#include "platform/win32/WindowsSystemFacts.h"

#include "PrefixFiles.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using prefixfiles::exists;

const std::wstring kLayouts = L"SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\";
const std::wstring kPreload = L"Keyboard Layout\\Preload";
const std::wstring kUninstall = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kProducts = L"Software\\Microsoft\\Installer\\Products\\";
const std::wstring kSettings = L"Software\\ZelnSoft\\";

// The registry written and read directly, apart from the code under test.
void putString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))));
    RegCloseKey(key);
}

bool hasKey(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::wstring> subkeys(HKEY root, const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    wchar_t name[MAX_PATH];
    for (DWORD index = 0, length = MAX_PATH; RegEnumKeyExW(key, index, name, &length, nullptr, nullptr, nullptr,
                                                           nullptr) == ERROR_SUCCESS;
         ++index, length = MAX_PATH) {
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

// "slot=layout" for every value of the preload list, in the order Windows lists them.
std::vector<std::wstring> preload() {
    std::vector<std::wstring> slots;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPreload.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return slots;
    wchar_t name[64];
    wchar_t data[64];
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = 64;
        DWORD dataBytes = sizeof data;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                          &dataBytes) != ERROR_SUCCESS) {
            break;
        }
        slots.push_back(std::wstring(name, nameLength) + L"=" + data);
    }
    RegCloseKey(key);
    return slots;
}

void resetPreload(const std::vector<std::pair<std::wstring, std::wstring>>& slots) {
    RegDeleteKeyW(HKEY_CURRENT_USER, kPreload.c_str());
    for (const auto& [slot, layout] : slots) putString(HKEY_CURRENT_USER, kPreload, slot, layout);
}

void layout(const std::wstring& id, const std::wstring& imeFile) {
    putString(HKEY_LOCAL_MACHINE, kLayouts + id, L"IME File", imeFile);
    putString(HKEY_LOCAL_MACHINE, kLayouts + id, L"Layout File", L"kbdus.dll");
}

// Every key below the path and every value with its type and bytes, one line each, in the order Windows
// lists them.
void dumpTree(HKEY root, const std::wstring& path, std::vector<std::wstring>& lines) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    lines.push_back(path);
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        DWORD bytes = static_cast<DWORD>(data.size());
        if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS) {
            break;
        }
        std::wstring line = path + L" | " + std::wstring(name.data(), nameLength) + L" | " + std::to_wstring(type) + L" |";
        for (DWORD at = 0; at < bytes; ++at) line += L" " + std::to_wstring(data[at]);
        lines.push_back(line);
    }
    RegCloseKey(key);
    for (const std::wstring& subkey : subkeys(root, path)) dumpTree(root, path + L"\\" + subkey, lines);
}

struct WineRemoval : ::testing::Test, SystemUndo {
    platform::Win32Registry registry;
    platform::Win32KeyboardLayouts layouts;
    platform::Win32Broadcast broadcast;
    platform::Win32Shell shell;
    platform::Win32DirectoryWalk files;
    platform::WindowsSystemFacts facts{GetModuleHandleW(nullptr)};
    InstallLog log;
    ChangeJournal journal{files, facts, log};
    JournaledRegistry journaledRegistry{registry, journal};
    RemovalServices services{journaledRegistry, layouts, broadcast, shell, journal.files(), facts, log, journal};

    WineRemoval() { EXPECT_TRUE(journal.begin(prefixfiles::windowsDirectory() + L"\\Temp\\journal\\install.journal")); }

    bool undoChange(const JournalRecord& record, InstallLog& undoLog) override {
        return undoSystemChange(UndoServices{registry, shell, layouts, broadcast}, record, undoLog);
    }

    const std::wstring windows = prefixfiles::windowsDirectory();
    const std::wstring system32 = windows + L"\\System32\\";
    const std::wstring sysnative = windows + L"\\Sysnative\\";
    const std::wstring programs = windows.substr(0, windows.find_last_of(L'\\')) + L"\\Program Files\\Zelnsoft\\";
    const std::wstring programs86 = windows.substr(0, windows.find_last_of(L'\\')) + L"\\Program Files (x86)\\Zelnsoft\\";
};

// First, while the prefix is as Wine made it.
TEST_F(WineRemoval, CleanPrefixFindsNothingAndSucceeds) {
    const auto layoutsBefore = subkeys(HKEY_LOCAL_MACHINE, kLayouts);
    const auto preloadBefore = preload();
    const auto uninstallBefore = subkeys(HKEY_LOCAL_MACHINE, kUninstall);

    platform::Win32VersionInfo versions;
    ModuleRemoval modules = moduleRemoval(services);
    EXPECT_EQ(RESULT_OK, clearOutdatedImeModules(versions, modules, {7, 27, 1, 0}, {1, 3, 10, 0}));
    EXPECT_EQ(RESULT_OK, removeInstalledEdition(services));
    EXPECT_EQ(RESULT_OK, removeEarlierEditions(services));
    EXPECT_FALSE(journal.commit());

    EXPECT_EQ(layoutsBefore, subkeys(HKEY_LOCAL_MACHINE, kLayouts));
    EXPECT_EQ(preloadBefore, preload());
    EXPECT_EQ(uninstallBefore, subkeys(HKEY_LOCAL_MACHINE, kUninstall));
    EXPECT_TRUE(exists(system32 + L"kernel32.dll"));
}

TEST_F(WineRemoval, EarlierEditionIsGoneExceptWhatTheRemovalKeeps) {
    layout(L"E0010804", L"ZelnsoftZelnCode.ime");
    layout(L"E0020804", L"ZelnsoftMIM.ime");
    layout(L"E0210804", L"ZelnIme.ime");
    resetPreload({{L"1", L"00000409"}, {L"2", L"E0010804"}, {L"3", L"E0210804"}, {L"4", L"E0020804"}});
    for (const auto* entry : {L"ZelnIME2016", L"{39318221-A7D4-400F-B932-674B420F4FF8}",
                              L"{9C2801B2-17E6-47B0-B7B9-F65A3000165B}", L"{PRESENT-PRODUCT}"}) {
        putString(HKEY_LOCAL_MACHINE, kUninstall + entry, L"DisplayName", entry);
    }
    for (const auto* entry : {L"{39318221-A7D4-400F-B932-674B420F4FF8}", L"{9C2801B2-17E6-47B0-B7B9-F65A3000165B}",
                              L"{CBA7897C-F148-44DA-B5C0-872A30E765E2}", L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}"}) {
        putString(HKEY_CURRENT_USER, kUninstall + entry, L"DisplayName", entry);
    }
    for (const auto* earlier : {L"UnderCH", L"Zelnsoft IME 2016 ZelnCode ver", L"RivezuziDAD2016",
                                L"泽尔恩（编码）输入法2016", L"ZelnIme", L"RudeRadod"}) {
        putString(HKEY_CURRENT_USER, kSettings + earlier, L"VERSION", L"1.0");
    }
    for (const auto* product : {L"122813934D7AF0049B2376B424F0F48F", L"2B1082C96E710B747B9B6FA5030061B5",
                                L"C7987ABC841FAD445B0C78A2037E562E", L"D5EE8CCB715527B48AD7A8ED00B24CC6"}) {
        putString(HKEY_CURRENT_USER, kProducts + product + L"\\SourceList\\Net", L"1", L"C:\\setup\\");
        putString(HKEY_CURRENT_USER, kProducts + product + L"\\SourceList\\Media", L"1", L";");
    }
    putString(HKEY_CURRENT_USER, kProducts + L"2B1082C96E710B747B9B6FA5030061B5\\Features", L"Main", L"");
    for (const auto& folder : {system32, sysnative}) {
        for (const auto* name : {L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime", L"ZelnIMECnvrt.dll"}) {
            ASSERT_TRUE(prefixfiles::writeFile(folder + name, "earlier"));
        }
    }
    ASSERT_TRUE(prefixfiles::writeFile(programs + L"RivezuziDAD2016\\dict\\main.dic", "d"));
    ASSERT_TRUE(prefixfiles::writeFile(programs86 + L"Update\\ZNService.exe", "s"));

    EXPECT_EQ(RESULT_OK, removeEarlierEditions(services));
    EXPECT_FALSE(journal.commit());

    EXPECT_FALSE(hasKey(HKEY_LOCAL_MACHINE, kLayouts + L"E0010804"));
    EXPECT_FALSE(hasKey(HKEY_LOCAL_MACHINE, kLayouts + L"E0020804"));
    EXPECT_TRUE(hasKey(HKEY_LOCAL_MACHINE, kLayouts + L"E0210804"));
    EXPECT_EQ((std::vector<std::wstring>{L"1=00000409", L"3=E0210804"}), preload());
    for (const auto* entry : {L"ZelnIME2016", L"{39318221-A7D4-400F-B932-674B420F4FF8}",
                              L"{9C2801B2-17E6-47B0-B7B9-F65A3000165B}"}) {
        EXPECT_FALSE(hasKey(HKEY_LOCAL_MACHINE, kUninstall + entry)) << entry;
    }
    EXPECT_TRUE(hasKey(HKEY_LOCAL_MACHINE, kUninstall + L"{PRESENT-PRODUCT}"));
    EXPECT_TRUE(subkeys(HKEY_CURRENT_USER, kUninstall).empty());
    EXPECT_EQ((std::vector<std::wstring>{L"RudeRadod"}), subkeys(HKEY_CURRENT_USER, kSettings));
    EXPECT_EQ((std::vector<std::wstring>{L"2B1082C96E710B747B9B6FA5030061B5"}), subkeys(HKEY_CURRENT_USER, kProducts));
    EXPECT_EQ((std::vector<std::wstring>{L"Features"}),
              subkeys(HKEY_CURRENT_USER, kProducts + L"2B1082C96E710B747B9B6FA5030061B5"));
    for (const auto& folder : {system32, sysnative}) {
        for (const auto* name : {L"ZelnsoftZelnCode.ime", L"ZelnsoftMIM.ime", L"ZelnIMECnvrt.dll"}) {
            EXPECT_FALSE(exists(folder + name)) << folder << name;
        }
    }
    EXPECT_FALSE(exists(programs + L"RivezuziDAD2016"));
    EXPECT_FALSE(exists(programs86 + L"Update"));
}

TEST_F(WineRemoval, InstalledEditionIsTakenOutAndItsSettingsStay) {
    layout(L"E0210804", L"ZelnIme.ime");
    layout(L"E0310850", L"ZELNIME.IME");
    // Wine gives a preload list without a first slot a default one again, so the first slot stays taken.
    resetPreload({{L"1", L"00000409"}, {L"2", L"E0310850"}, {L"3", L"E0210804"}});
    putString(HKEY_LOCAL_MACHINE, kUninstall + L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}", L"DisplayName", L"old");
    putString(HKEY_LOCAL_MACHINE, kUninstall + L"{PRESENT-PRODUCT}", L"DisplayName", L"present");
    for (const auto* product : {L"D5EE8CCB715527B48AD7A8ED00B24CC6", L"C7987ABC841FAD445B0C78A2037E562E"}) {
        putString(HKEY_CURRENT_USER, kProducts + product + L"\\SourceList\\Media", L"1", L";");
        putString(HKEY_CURRENT_USER, kProducts + product + L"\\SourceList\\Net", L"1", L"C:\\");
    }
    putString(HKEY_CURRENT_USER, kSettings + L"RudeRadod", L"APPDIR", L"C:\\Program Files (x86)\\Zelnsoft");
    for (const auto& folder : {system32, sysnative}) {
        for (const auto* name : {L"ZelnIme.ime", L"ZelnImeTSF.ime"}) {
            ASSERT_TRUE(prefixfiles::writeFile(folder + name, "module"));
        }
    }
    ASSERT_TRUE(prefixfiles::writeFile(programs86 + L"ZelnIME\\dict\\main.dic", "d"));
    ASSERT_TRUE(prefixfiles::writeFile(programs + L"ZelnIME\\ZelnIme.exe", "e"));

    EXPECT_EQ(RESULT_OK, removeInstalledEdition(services));
    EXPECT_FALSE(journal.commit());

    EXPECT_FALSE(hasKey(HKEY_LOCAL_MACHINE, kLayouts + L"E0210804"));
    EXPECT_FALSE(hasKey(HKEY_LOCAL_MACHINE, kLayouts + L"E0310850"));
    EXPECT_EQ((std::vector<std::wstring>{L"1=00000409"}), preload());
    EXPECT_FALSE(hasKey(HKEY_LOCAL_MACHINE, kUninstall + L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}"));
    EXPECT_TRUE(hasKey(HKEY_LOCAL_MACHINE, kUninstall + L"{PRESENT-PRODUCT}"));
    EXPECT_FALSE(hasKey(HKEY_CURRENT_USER, kProducts + L"D5EE8CCB715527B48AD7A8ED00B24CC6"));
    EXPECT_FALSE(hasKey(HKEY_CURRENT_USER, kProducts + L"C7987ABC841FAD445B0C78A2037E562E"));
    EXPECT_TRUE(hasKey(HKEY_CURRENT_USER, kSettings + L"RudeRadod"));
    for (const auto& folder : {system32, sysnative}) {
        EXPECT_FALSE(exists(folder + L"ZelnIme.ime")) << folder;
        EXPECT_FALSE(exists(folder + L"ZelnImeTSF.ime")) << folder;
    }
    EXPECT_FALSE(exists(programs86 + L"ZelnIME"));
    EXPECT_FALSE(exists(programs + L"ZelnIME"));
}

// Both removals over an installed edition and an earlier one, then undone on Wine's own registry and files:
// every key and value (types and bytes), every preload slot and every file is as it was.
TEST_F(WineRemoval, UndoingBothRemovalsPutsEveryKeyValueAndFileBack) {
    layout(L"E0010804", L"ZelnsoftZelnCode.ime");
    layout(L"E0210804", L"ZelnIme.ime");
    layout(L"E0310850", L"ZelnIme.ime");
    resetPreload({{L"1", L"00000409"}, {L"2", L"E0310850"}, {L"3", L"E0010804"}, {L"4", L"E0210804"}});
    putString(HKEY_LOCAL_MACHINE, kUninstall + L"ZelnIME2016", L"DisplayName", L"earlier");
    putString(HKEY_LOCAL_MACHINE, kUninstall + L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}", L"DisplayName", L"old");
    putString(HKEY_CURRENT_USER, kSettings + L"ZelnIme", L"Dictionary", L"main");
    for (const auto* product : {L"D5EE8CCB715527B48AD7A8ED00B24CC6", L"2B1082C96E710B747B9B6FA5030061B5"}) {
        putString(HKEY_CURRENT_USER, kProducts + product + L"\\SourceList\\Net", L"1", L"C:\\setup\\");
    }
    HKEY binary = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (kSettings + L"UnderCH").c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &binary, nullptr));
    const BYTE bytes[] = {0, 1, 2, 0xFE, 0xFF};
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(binary, L"State", 0, REG_BINARY, bytes, sizeof bytes));
    const DWORD number = 0x12345678;
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetValueExW(binary, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number));
    RegCloseKey(binary);
    for (const auto& folder : {system32, sysnative}) {
        for (const auto* name : {L"ZelnIme.ime", L"ZelnsoftZelnCode.ime"}) {
            ASSERT_TRUE(prefixfiles::writeFile(folder + name, "module"));
        }
    }
    ASSERT_TRUE(prefixfiles::writeFile(programs86 + L"ZelnIME\\dict\\main.dic", "d"));
    const auto registryNow = [] {
        std::vector<std::wstring> lines;
        for (const auto& [root, path] : std::vector<std::pair<HKEY, std::wstring>>{
                 {HKEY_LOCAL_MACHINE, kLayouts.substr(0, kLayouts.size() - 1)},
                 {HKEY_LOCAL_MACHINE, kUninstall.substr(0, kUninstall.size() - 1)},
                 {HKEY_CURRENT_USER, kPreload},
                 {HKEY_CURRENT_USER, kSettings.substr(0, kSettings.size() - 1)},
                 {HKEY_CURRENT_USER, kProducts.substr(0, kProducts.size() - 1)}}) {
            dumpTree(root, path, lines);
        }
        return lines;
    };
    const std::vector<std::wstring> before = registryNow();

    EXPECT_EQ(RESULT_OK, removeInstalledEdition(services));
    EXPECT_EQ(RESULT_OK, removeEarlierEditions(services));
    ASSERT_NE(before, registryNow());
    ASSERT_FALSE(exists(programs86 + L"ZelnIME\\dict\\main.dic"));
    EXPECT_TRUE(journal.undo(*this));

    EXPECT_EQ(before, registryNow());
    for (const auto& folder : {system32, sysnative}) {
        for (const auto* name : {L"ZelnIme.ime", L"ZelnsoftZelnCode.ime"}) {
            EXPECT_TRUE(exists(folder + name)) << folder << name;
            EXPECT_FALSE(exists(folder + name + L".1.old")) << folder << name;
        }
    }
    EXPECT_TRUE(exists(programs86 + L"ZelnIME\\dict\\main.dic"));
    EXPECT_FALSE(exists(windows + L"\\Temp\\journal"));
}

}  // namespace
