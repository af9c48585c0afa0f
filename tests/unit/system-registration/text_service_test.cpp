// The regsvr32 command for the text service, and the EUDC font link with its three ways to fail.
#include "system/TextServiceRegistration.h"

#include "registration_fixture.h"

namespace {

using TextServiceTest = RegistrationTest;

constexpr wchar_t kEudc[] = L"HKEY_CURRENT_USER\\EUDC\\936";

TEST_F(TextServiceTest, RegistrationRunsRegsvr32OnTheModuleInTheSystemDirectoryAndWaits) {
    shell.systemDirectoryPath = L"C:\\WINDOWS\\system32";
    shell.launches = false;
    EXPECT_EQ(0, registerTextService(services));
    ASSERT_EQ(1u, shell.executions.size());
    const platform::ShellExecution& run = shell.executions[0];
    EXPECT_EQ(0x40u, run.mask);
    EXPECT_EQ(L"open", run.verb);
    EXPECT_EQ(L"C:\\WINDOWS\\system32\\regsvr32.exe", run.file);
    EXPECT_EQ(L"/s- C:\\WINDOWS\\system32\\ZelnImeTSF.ime", run.parameters);
    EXPECT_EQ(L"C:\\WINDOWS\\system32", run.directory);
    EXPECT_EQ(5, run.show);
    EXPECT_EQ((std::vector<std::uint32_t>{255}), shell.systemDirectoryBuffers);
}

TEST_F(TextServiceTest, NoSystemDirectoryMeansNoRegsvr32Run) {
    shell.hasSystemDirectory = false;
    EXPECT_EQ(0, registerTextService(services));
    EXPECT_TRUE(shell.executions.empty());
}

TEST_F(TextServiceTest, FontPathGetsOneBackslashWhetherOrNotTheDirectoryEndsWithOne) {
    EXPECT_EQ(L"C:\\Windows\\system32\\zelnsoft.tte", eudcFontPath(L"C:\\Windows\\system32"));
    EXPECT_EQ(L"C:\\Windows\\system32\\zelnsoft.tte", eudcFontPath(L"C:\\Windows\\system32\\"));
    EXPECT_EQ(L"C:\\zelnsoft.tte", eudcFontPath(L"C:\\"));

    shell.systemDirectoryPath = L"D:\\";
    EXPECT_EQ(0, linkEudcFont(services));
    EXPECT_EQ(L"D:\\zelnsoft.tte|1|30", stored(kEudc, L"SystemDefaultEUDCFont"));
}

TEST_F(TextServiceTest, ExistingKeyIsOpenedWithFullAccessAndMissingOneCreatedWithReadWrite) {
    registry.putString(kEudc, L"SystemDefaultEUDCFont", L"C:\\old.tte");
    EXPECT_EQ(0, linkEudcFont(services));
    EXPECT_EQ(L"C:\\Windows\\system32\\zelnsoft.tte|1|64", stored(kEudc, L"SystemDefaultEUDCFont"));
    ASSERT_FALSE(registry.calls().empty());
    EXPECT_EQ(L"RegOpenKeyExW", registry.calls()[0].api);
    EXPECT_EQ(0xF003Fu, registry.calls()[0].access);
    EXPECT_EQ((std::vector<std::uint32_t>{260}), shell.systemDirectoryBuffers);

    registry.clearCalls();
    registry.failOn(platform::FakeRegistry::Operation::Open, kEudc);
    EXPECT_EQ(0, linkEudcFont(services));
    ASSERT_GE(registry.calls().size(), 2u);
    EXPECT_EQ(L"RegCreateKeyExW", registry.calls()[1].api);
    EXPECT_EQ(0x2001Fu, registry.calls()[1].access);
}

TEST_F(TextServiceTest, LinkingIsOffWhileTheSettingChangesAndOnAgainAfterTheKeyIsClosed) {
    std::size_t handlesWhenOn = 99;
    eudc.observer = [&](const std::wstring& event) {
        if (event == L"on") {
            handlesWhenOn = registry.openHandleCount();
        }
    };
    EXPECT_EQ(0, linkEudcFont(services));
    EXPECT_EQ((std::vector<std::wstring>{L"load", L"off", L"on", L"free"}), eudc.events);
    EXPECT_EQ(0u, handlesWhenOn);
}

TEST_F(TextServiceTest, EachWayToFailGivesOneAndLeavesLinkingOn) {
    eudc.availability = platform::FakeEudc::Availability::NoLibrary;
    EXPECT_EQ(1, linkEudcFont(services));
    EXPECT_EQ((std::vector<std::wstring>{L"load"}), eudc.events);

    eudc.events.clear();
    eudc.availability = platform::FakeEudc::Availability::NoEntryPoint;
    EXPECT_EQ(1, linkEudcFont(services));
    EXPECT_EQ((std::vector<std::wstring>{L"load", L"free"}), eudc.events);

    eudc.events.clear();
    eudc.availability = platform::FakeEudc::Availability::Available;
    registry.failOn(platform::FakeRegistry::Operation::Open, kEudc);
    registry.failOn(platform::FakeRegistry::Operation::Create, kEudc);
    EXPECT_EQ(1, linkEudcFont(services));
    EXPECT_EQ((std::vector<std::wstring>{L"load", L"off", L"on", L"free"}), eudc.events);
    EXPECT_FALSE(registry.hasKey(kEudc));
}

}  // namespace
