// The fake registry's own behaviour where Windows has it but Wine, or a 64-bit test process, cannot show it.
#include "platform/fake/FakeRegistry.h"

#include "registry_contract.h"

std::unique_ptr<platform::Registry> makeContractRegistry() {
    return std::make_unique<platform::FakeRegistry>(platform::FakeRegistry::Process::Native);
}

namespace {

using platform::FakeRegistry;

constexpr wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product";

TEST(FakeRegistry, DefaultViewOfAThirtyTwoBitProcessIsRedirectedAndTheSixtyFourBitViewIsNot) {
    FakeRegistry registry;
    {
        RegistryKey redirected;
        ASSERT_EQ(0, registry.createKeyEx(RegistryRoot::LocalMachine, kUninstall, kKeyAllAccess,
                                          RegistryView::Default, redirected));
        ASSERT_EQ(0, registry.setString(redirected, L"View", L"32", 4));
        RegistryKey native;
        ASSERT_EQ(0, registry.createKeyEx(RegistryRoot::LocalMachine, kUninstall, kKeyAllAccess,
                                          RegistryView::Force64, native));
        ASSERT_EQ(0, registry.setString(native, L"View", L"64", 4));
        RegistryKey user;
        ASSERT_EQ(0, registry.createKeyEx(RegistryRoot::CurrentUser, L"SOFTWARE\\ZelnSoft", kKeyAllAccess,
                                          RegistryView::Force64, user));
    }
    RegistryValue value;
    ASSERT_TRUE(registry.readValue(
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product",
        L"View", value));
    EXPECT_EQ(L"32", value.text());
    ASSERT_TRUE(registry.readValue(
        L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Product", L"View", value));
    EXPECT_EQ(L"64", value.text());
    EXPECT_TRUE(registry.hasKey(L"HKEY_CURRENT_USER\\SOFTWARE\\ZelnSoft"));
    EXPECT_EQ(0u, registry.openHandleCount());

    // The mask handed to Windows carries the view: KEY_ALL_ACCESS, then KEY_ALL_ACCESS | KEY_WOW64_64KEY.
    ASSERT_GE(registry.calls().size(), 3u);
    EXPECT_EQ(L"RegCreateKeyExW", registry.calls()[0].api);
    EXPECT_EQ(0xF003Fu, registry.calls()[0].access);
    EXPECT_EQ(L"RegCreateKeyExW", registry.calls()[2].api);
    EXPECT_EQ(0xF013Fu, registry.calls()[2].access);
}

TEST(FakeRegistry, ValuesEnumerateInTheOrderFirstWrittenAndARewriteKeepsItsPlace) {
    FakeRegistry registry;
    RegistryKey key;
    ASSERT_EQ(0, registry.createKey(RegistryRoot::CurrentUser, L"Software\\Order", key));
    for (const wchar_t* name : {L"Readme", L"NoRemove", L"NoModify", L"Readme", L"Alpha"}) {
        ASSERT_EQ(0, registry.setString(key, name, L"", 0));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Readme", L"NoRemove", L"NoModify", L"Alpha"}),
              registry.valueNames(L"HKEY_CURRENT_USER\\Software\\Order"));
}

TEST(FakeRegistry, InjectedFailuresHitOnlyTheirKeyAndOperation) {
    FakeRegistry registry;
    registry.putKey(L"HKEY_LOCAL_MACHINE\\SYSTEM\\Layouts\\E0210804");
    registry.failOn(FakeRegistry::Operation::Open, L"HKEY_LOCAL_MACHINE\\system\\layouts");
    registry.failOn(FakeRegistry::Operation::Create, L"HKEY_CURRENT_USER\\Software\\Locked", 1021);
    registry.failOnValue(FakeRegistry::Operation::SetValue, L"HKEY_CURRENT_USER\\Software\\Open", L"APPDIR");

    RegistryKey key;
    EXPECT_EQ(platform::kRegistryAccessDenied, registry.openKey(RegistryRoot::LocalMachine, L"SYSTEM\\Layouts", key));
    EXPECT_EQ(0, registry.openKey(RegistryRoot::LocalMachine, L"SYSTEM\\Layouts\\E0210804", key));
    EXPECT_EQ(1021, registry.createKey(RegistryRoot::CurrentUser, L"Software\\Locked", key));
    EXPECT_FALSE(registry.hasKey(L"HKEY_CURRENT_USER\\Software\\Locked"));
    ASSERT_EQ(0, registry.createKey(RegistryRoot::CurrentUser, L"Software\\Open", key));
    EXPECT_EQ(platform::kRegistryAccessDenied, registry.setString(key, L"appdir", L"C:\\", 6));
    EXPECT_EQ(0, registry.setString(key, L"VERSION", L"7", 2));
    EXPECT_EQ((std::vector<std::wstring>{L"VERSION"}), registry.valueNames(L"HKEY_CURRENT_USER\\Software\\Open"));
}

TEST(FakeRegistry, AKeyDeletedWhileOpenAnswersKeyDeleted) {
    FakeRegistry registry;
    RegistryKey key;
    ASSERT_EQ(0, registry.createKey(RegistryRoot::CurrentUser, L"Software\\Doomed", key));
    ASSERT_EQ(0, registry.deleteKey(RegistryRoot::CurrentUser, L"Software\\Doomed"));
    EXPECT_EQ(platform::kRegistryKeyDeleted, registry.setString(key, L"Late", L"x", 2));
    EXPECT_EQ(1u, registry.openHandleCount());
    key.close();
    EXPECT_EQ(0u, registry.openHandleCount());
}

}  // namespace
