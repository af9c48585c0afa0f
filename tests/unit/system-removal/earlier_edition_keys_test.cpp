// The registry side of removing earlier editions: layout search, the preload list, uninstall entries in both
// views, settings keys and Windows Installer product keys, against the fake registry.
#include "system/EarlierEditions.h"

#include "platform/fake/FakeRegistry.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using platform::FakeRegistry;

const std::wstring kLayouts = L"HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Keyboard Layouts\\";
const std::wstring kPreload = L"HKEY_CURRENT_USER\\Keyboard Layout\\Preload";
const std::wstring kMachineUninstall32 =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kMachineUninstall64 = L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kUserUninstall = L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const std::wstring kProducts = L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Installer\\Products\\";
const std::wstring kSettings = L"HKEY_CURRENT_USER\\Software\\ZelnSoft\\";

std::wstring text(const FakeRegistry& registry, const std::wstring& key, const std::wstring& name) {
    platform::RegistryValue value;
    return registry.readValue(key, name, value) ? value.text() : L"<none>";
}

TEST(FindLayoutByImeFile, FindsTheLastListedLayoutNamingTheModuleInAnyCase) {
    FakeRegistry registry;
    EXPECT_FALSE([&] {
        std::wstring id;
        return findLayoutByImeFile(registry, L"ZelnsoftZelnCode.ime", id);
    }());
    registry.putString(kLayouts + L"00000409", L"Layout File", L"kbdus.dll");
    registry.putString(kLayouts + L"E0010804", L"IME File", L"ZELNSOFTZELNCODE.IME");
    registry.putString(kLayouts + L"E0020804", L"IME File", L"ZelnIme.ime");
    registry.putString(kLayouts + L"E0030804", L"IME File", L"zelnsoftzelncode.ime");
    registry.putString(kLayouts + L"E0040804", L"IME File", L"");

    std::wstring id = L"untouched";
    ASSERT_TRUE(findLayoutByImeFile(registry, L"ZelnsoftZelnCode.ime", id));
    EXPECT_EQ(L"E0030804", id);
    id = L"untouched";
    EXPECT_FALSE(findLayoutByImeFile(registry, L"ZelnsoftMIM.ime", id));
    EXPECT_EQ(L"untouched", id);
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST(RemoveFromPreload, DeletesTheFirstSlotListingTheLayoutAndLeavesTheOthersNumbered) {
    FakeRegistry registry;
    registry.putString(kPreload, L"1", L"00000804");
    registry.putString(kPreload, L"2", L"e0210804");
    registry.putString(kPreload, L"3", L"00000409");
    registry.putString(kPreload, L"4", L"E0210804");

    removeFromPreload(registry, L"E0210804");
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"3", L"4"}), registry.valueNames(kPreload));
    EXPECT_EQ(L"00000409", text(registry, kPreload, L"3"));

    removeFromPreload(registry, L"E0210804");
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"3"}), registry.valueNames(kPreload));
    removeFromPreload(registry, L"E0990804");
    EXPECT_EQ((std::vector<std::wstring>{L"1", L"3"}), registry.valueNames(kPreload));
}

TEST(RemoveFromPreload, ReachesASlotAboveTheNumberOfValues) {
    FakeRegistry registry;
    registry.putString(kPreload, L"1", L"00000804");
    registry.putString(kPreload, L"3", L"E0310850");
    removeFromPreload(registry, L"E0310850");
    EXPECT_EQ((std::vector<std::wstring>{L"1"}), registry.valueNames(kPreload));
}

struct EarlierEditionKeys : ::testing::Test {
    FakeRegistry registry;

    void SetUp() override {
        for (const auto* entry : {L"ZelnIME2016", L"{39318221-A7D4-400F-B932-674B420F4FF8}",
                                  L"{9C2801B2-17E6-47B0-B7B9-F65A3000165B}"}) {
            registry.putString(kMachineUninstall32 + entry, L"DisplayName", L"earlier");
            registry.putString(kMachineUninstall64 + entry, L"DisplayName", L"earlier");
        }
        for (const auto* entry : {L"{39318221-A7D4-400F-B932-674B420F4FF8}", L"{9C2801B2-17E6-47B0-B7B9-F65A3000165B}",
                                  L"{CBA7897C-F148-44DA-B5C0-872A30E765E2}", L"{BCC8EE5D-5517-4B72-A87D-8ADE002BC46C}"}) {
            registry.putString(kUserUninstall + entry, L"DisplayName", L"earlier");
        }
        for (const auto* product : {L"122813934D7AF0049B2376B424F0F48F", L"2B1082C96E710B747B9B6FA5030061B5",
                                    L"C7987ABC841FAD445B0C78A2037E562E", L"D5EE8CCB715527B48AD7A8ED00B24CC6"}) {
            registry.putString(kProducts + product + L"\\SourceList\\Net", L"1", L"C:\\setup\\");
            registry.putString(kProducts + product + L"\\SourceList\\Media", L"1", L";");
            registry.putString(kProducts + product, L"ProductName", L"earlier");
        }
        for (const auto* earlier : {L"UnderCH", L"Zelnsoft IME 2016 ZelnCode ver", L"RivezuziDAD2016",
                                    L"泽尔恩（编码）输入法2016", L"ZelnIme"}) {
            registry.putString(kSettings + earlier, L"Setting", L"1");
        }
        registry.putString(kSettings + L"RudeRadod", L"VERSION", L"7.27.1.0");
        registry.putString(kMachineUninstall32 + L"{PRESENT-PRODUCT}", L"DisplayName", L"present");
        registry.putString(kProducts + L"PRESENTPRODUCTKEY0000000000000000", L"UpgradeCode", L"{UPGRADE}");
    }
};

TEST_F(EarlierEditionKeys, AreAllGoneFromBothViewsWhileThePresentProductStays) {
    removeEarlierEditionKeys(registry);

    EXPECT_EQ((std::vector<std::wstring>{L"{PRESENT-PRODUCT}"}), registry.subkeyNames(kMachineUninstall32));
    EXPECT_TRUE(registry.subkeyNames(kMachineUninstall64).empty());
    EXPECT_TRUE(registry.subkeyNames(kUserUninstall).empty());
    EXPECT_EQ((std::vector<std::wstring>{L"PRESENTPRODUCTKEY0000000000000000"}), registry.subkeyNames(kProducts));
    EXPECT_EQ((std::vector<std::wstring>{L"RudeRadod"}), registry.subkeyNames(kSettings));
    EXPECT_EQ(L"7.27.1.0", text(registry, kSettings + L"RudeRadod", L"VERSION"));
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(EarlierEditionKeys, ProductKeyWithFurtherSubkeysStaysWithoutItsSourceList) {
    const std::wstring product = kProducts + L"C7987ABC841FAD445B0C78A2037E562E";
    registry.putString(product + L"\\Features", L"Main", L"");
    removeEarlierEditionKeys(registry);
    EXPECT_EQ((std::vector<std::wstring>{L"Features"}), registry.subkeyNames(product));
}

TEST_F(EarlierEditionKeys, DeletesSourceListsLeafFirstAndOpensUninstallKeysInBothViews) {
    registry.clearCalls();
    removeEarlierEditionKeys(registry);

    std::vector<std::wstring> productDeletes;
    std::vector<std::uint32_t> uninstallAccess;
    std::vector<std::wstring> uninstallDeletes;
    for (const auto& call : registry.calls()) {
        if (call.api.rfind(L"RegDeleteKey", 0) == 0 && call.keyPath.find(L"Uninstall") != std::wstring::npos) {
            uninstallDeletes.push_back(call.api + L" " + std::to_wstring(call.access));
        }
        if (call.api == L"RegDeleteKeyW" && call.keyPath.find(L"2B1082C96E710B747B9B6FA5030061B5") != std::wstring::npos) {
            productDeletes.push_back(call.keyPath.substr(kProducts.size()));
        }
        if (call.api == L"RegOpenKeyExW" && call.keyPath.find(L"Uninstall") != std::wstring::npos) {
            uninstallAccess.push_back(call.access);
        }
    }
    EXPECT_EQ((std::vector<std::wstring>{L"2B1082C96E710B747B9B6FA5030061B5\\SourceList\\Net",
                                         L"2B1082C96E710B747B9B6FA5030061B5\\SourceList\\Media",
                                         L"2B1082C96E710B747B9B6FA5030061B5\\SourceList",
                                         L"2B1082C96E710B747B9B6FA5030061B5"}),
              productDeletes);
    // Three machine entries and four user entries, each opened in the default view and then the 64-bit one.
    ASSERT_EQ(14u, uninstallAccess.size());
    for (std::size_t i = 0; i < uninstallAccess.size(); ++i) {
        EXPECT_EQ(i % 2 == 0 ? 0xF003Fu : 0xF013Fu, uninstallAccess[i]) << i;
    }
    // The second delete of each pair names the 64-bit view: RegDeleteKeyW would take the process's own view.
    ASSERT_EQ(14u, uninstallDeletes.size());
    for (std::size_t i = 0; i < uninstallDeletes.size(); ++i) {
        EXPECT_EQ(i % 2 == 0 ? L"RegDeleteKeyW 0" : L"RegDeleteKeyExW 256", uninstallDeletes[i]) << i;
    }
}

TEST(EarlierEditionKeysOnACleanSystem, FindNothingAndLeaveNothingOpen) {
    FakeRegistry registry;
    removeEarlierEditionKeys(registry);
    EXPECT_EQ(0u, registry.openHandleCount());
    EXPECT_FALSE(registry.hasKey(kSettings));
}

}  // namespace
