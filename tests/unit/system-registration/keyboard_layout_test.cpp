// Layout identifiers, layout keys, the preload list and the registration branches, over the fake registry.
#include "system/KeyboardLayoutRegistration.h"

#include "registration_fixture.h"

namespace {

using KeyboardLayoutTest = RegistrationTest;

std::wstring layoutKey(const std::wstring& layoutId) { return std::wstring(kLayoutList) + L"\\" + layoutId; }

TEST_F(KeyboardLayoutTest, NewIdentifierIsOneAboveTheLargestSameLanguageDevicePart) {
    putLayout(L"00000804", L"other.ime");
    putLayout(L"E0200804", L"other.ime");
    // Layouts of other languages weigh nothing, however large their device part.
    putLayout(L"F0000409", L"ZelnIme.ime");
    putLayout(L"E0500850", L"other.ime");
    std::wstring chosen;
    ASSERT_TRUE(chooseLayoutId(services, L"0804", chosen));
    EXPECT_EQ(L"E0210804", chosen);

    putLayout(L"E0090850", L"other.ime");
    ASSERT_TRUE(chooseLayoutId(services, L"0850", chosen));
    EXPECT_EQ(L"E0510850", chosen);
    ASSERT_TRUE(chooseLayoutId(services, L"0412", chosen));
    EXPECT_EQ(L"E0010412", chosen);
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(KeyboardLayoutTest, LaterDigitsOfANewIdentifierStayLowerCase) {
    putLayout(L"E0090804", L"other.ime");
    std::wstring chosen;
    ASSERT_TRUE(chooseLayoutId(services, L"0804", chosen));
    EXPECT_EQ(L"E00a0804", chosen);
}

TEST_F(KeyboardLayoutTest, OwnLayoutIsReusedWhateverTheCaseOfItsImeFile) {
    putLayout(L"E0200804", L"other.ime");
    putLayout(L"e0250804", L"ZELNIME.IME");
    std::wstring chosen;
    ASSERT_TRUE(chooseLayoutId(services, L"0804", chosen));
    EXPECT_EQ(L"e0250804", chosen);
    // The language part is matched ignoring case as well.
    putLayout(L"E0330ABC", L"zelnime.ime");
    ASSERT_TRUE(chooseLayoutId(services, L"0abc", chosen));
    EXPECT_EQ(L"E0330ABC", chosen);
}

TEST_F(KeyboardLayoutTest, DevicePartBeyondFourDigitsGivesTheLowestFreeOne) {
    putLayout(L"FFFF0804", L"other.ime");
    putLayout(L"E0010804", L"other.ime");
    std::wstring chosen;
    ASSERT_TRUE(chooseLayoutId(services, L"0804", chosen));
    EXPECT_EQ(L"E0020804", chosen);
    // A device part that is no hexadecimal number counts as all ones.
    putLayout(L"E0020850", L"other.ime");
    putLayout(L"Z0000850", L"other.ime");
    ASSERT_TRUE(chooseLayoutId(services, L"0850", chosen));
    EXPECT_EQ(L"E0010850", chosen);
}

TEST_F(KeyboardLayoutTest, NewIdentifierNeverTakesAnotherImesLayout) {
    // F021 + 1 would become E022, which another IME's layout already holds.
    putLayout(L"F0210804", L"other.ime");
    putLayout(L"E0220804", L"other.ime");
    putLayout(L"E0010804", L"other.ime");
    std::wstring chosen;
    ASSERT_TRUE(chooseLayoutId(services, L"0804", chosen));
    EXPECT_EQ(L"E0020804", chosen);
}

TEST_F(KeyboardLayoutTest, LayoutListThatCannotBeOpenedOrCountedChoosesNothing) {
    std::wstring chosen = L"untouched";
    registry.failOn(platform::FakeRegistry::Operation::QueryInfo, kLayoutList);
    EXPECT_FALSE(chooseLayoutId(services, L"0804", chosen));
    EXPECT_EQ(0u, registry.openHandleCount());
    registry.failOn(platform::FakeRegistry::Operation::Open, kLayoutList);
    EXPECT_FALSE(chooseLayoutId(services, L"0804", chosen));
    EXPECT_EQ(L"untouched", chosen);
}

TEST_F(KeyboardLayoutTest, ParseHexPrefixFollowsItsDigitRules) {
    EXPECT_EQ(0u, parseHexPrefix(L""));
    EXPECT_EQ(0xE020u, parseHexPrefix(L"E020"));
    EXPECT_EQ(0xE020u, parseHexPrefix(L"e020"));
    EXPECT_EQ(0x00FFu, parseHexPrefix(L"00fF"));
    // Lower-case letters go on past "f": "g" is 16 and overlaps the next digit up.
    EXPECT_EQ(0x100u, parseHexPrefix(L"g0"));
    // Anything else is all ones, shifted into place.
    EXPECT_EQ(0xFFFFFF00u, parseHexPrefix(L"-00"));
    EXPECT_EQ(0xFFFFFFFFu, parseHexPrefix(L"FFFFFFFF"));
    // Digits beyond the eighth from the right fall out of 32 bits.
    EXPECT_EQ(0x12345678u, parseHexPrefix(L"9912345678"));
}

TEST_F(KeyboardLayoutTest, PreloadFillsTheFirstFreeSlotOnceWithTheTerminatorCounted) {
    registry.putString(kPreload, L"1", L"00000804");
    registry.putString(kPreload, L"2", L"00000409");
    registry.putString(kPreload, L"4", L"00000411");
    addToPreload(services, L"E0210804");
    EXPECT_EQ(L"E0210804|1|18", stored(kPreload, L"3"));
    addToPreload(services, L"E0210804");
    EXPECT_EQ(L"missing", stored(kPreload, L"5"));
    // The preload list compares exactly: a listing in other case is another identifier.
    addToPreload(services, L"e0210804");
    EXPECT_EQ(L"e0210804|1|18", stored(kPreload, L"5"));
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(KeyboardLayoutTest, ActivationRewritesItsOwnSlotWithoutTerminatorAndLoadsTheLayout) {
    registry.putString(kPreload, L"1", L"00000804");
    registry.putString(kPreload, L"2", L"e0210804");
    activateLayout(services, L"E0210804");
    EXPECT_EQ(L"E0210804|1|16", stored(kPreload, L"2"));
    EXPECT_EQ(L"missing", stored(kPreload, L"3"));
    activateLayout(services, L"E0310850");
    EXPECT_EQ(L"E0310850|1|16", stored(kPreload, L"3"));
    ASSERT_EQ(2u, keyboardLayouts.loads.size());
    EXPECT_EQ(L"E0210804", keyboardLayouts.loads[0].layoutId);
    EXPECT_EQ(1u, keyboardLayouts.loads[0].flags);
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(KeyboardLayoutTest, PreloadListThatCannotBeOpenedIsLeftAloneAndNothingIsLoaded) {
    registry.failOn(platform::FakeRegistry::Operation::Open, kPreload);
    addToPreload(services, L"E0210804");
    activateLayout(services, L"E0210804");
    EXPECT_TRUE(registry.valueNames(kPreload).empty());
    EXPECT_TRUE(keyboardLayouts.loads.empty());
}

TEST_F(KeyboardLayoutTest, LegacyBranchRegistersBothLayoutsWithOneTextAndRecordsBoth) {
    putLayout(L"E0200804", L"other.ime");
    putLayout(L"E0310850", L"ZelnIme.IME");
    registry.putString(layoutKey(L"E0310850"), L"Layout Text", L"old");
    registerImmLayouts(services);

    EXPECT_EQ(L"ZelnIme.ime|1|24", stored(layoutKey(L"E0210804"), L"IME File"));
    EXPECT_EQ(L"kbdus.dll|1|20", stored(layoutKey(L"E0210804"), L"Layout File"));
    EXPECT_EQ(L"泽尔恩输入法|1|14", stored(layoutKey(L"E0210804"), L"Layout Text"));
    // The reused layout's values are overwritten, and its "IME File" spelled as the module is.
    EXPECT_EQ(L"ZelnIme.ime|1|24", stored(layoutKey(L"E0310850"), L"IME File"));
    EXPECT_EQ(L"泽尔恩输入法|1|14", stored(layoutKey(L"E0310850"), L"Layout Text"));
    EXPECT_EQ((std::vector<std::wstring>{L"IME File", L"Layout File", L"Layout Text"}),
              registry.valueNames(layoutKey(L"E0210804")));

    // Both added, then the Chinese-language one activated in its slot without a counted terminator.
    EXPECT_EQ(L"E0210804|1|16", stored(kPreload, L"1"));
    EXPECT_EQ(L"E0310850|1|18", stored(kPreload, L"2"));
    ASSERT_EQ(1u, keyboardLayouts.loads.size());
    EXPECT_EQ(L"E0210804", keyboardLayouts.loads[0].layoutId);
    EXPECT_EQ(L"E0210804|1|18", stored(kProduct, L"KLCN"));
    EXPECT_EQ(L"E0310850|1|18", stored(kProduct, L"KLMN"));
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(KeyboardLayoutTest, LayoutListThatCannotBeOpenedGivesTheDefaultIdentifiers) {
    registry.failOn(platform::FakeRegistry::Operation::Open, kLayoutList);
    registerImmLayouts(services);
    EXPECT_EQ(L"E0210804|1|18", stored(kProduct, L"KLCN"));
    EXPECT_EQ(L"E0310850|1|18", stored(kProduct, L"KLMN"));
    EXPECT_EQ(L"ZelnIme.ime|1|24", stored(layoutKey(L"E0210804"), L"IME File"));
}

TEST_F(KeyboardLayoutTest, LayoutKeyThatCannotBeCreatedIsStillListedAndRecorded) {
    registry.failOn(platform::FakeRegistry::Operation::Create, layoutKey(L"E0010850"));
    registerMongolianLayout(services);
    EXPECT_FALSE(registry.hasKey(layoutKey(L"E0010850")));
    EXPECT_EQ(L"E0010850|1|16", stored(kPreload, L"1"));
    EXPECT_EQ(L"E0010850|1|18", stored(kProduct, L"KLMN"));
}

TEST_F(KeyboardLayoutTest, TextServiceBranchRegistersOnlyTheMongolianLayoutAndKeepsKlcn) {
    registry.putString(kProduct, L"KLCN", L"E0210804");
    registerMongolianLayout(services);
    EXPECT_EQ(L"泽尔恩输入法(MN)|1|22", stored(layoutKey(L"E0010850"), L"Layout Text"));
    EXPECT_EQ((std::vector<std::wstring>{L"E0010850"}), registry.subkeyNames(kLayoutList));
    EXPECT_EQ(L"E0010850|1|16", stored(kPreload, L"1"));
    EXPECT_EQ(L"E0210804|1|18", stored(kProduct, L"KLCN"));
    EXPECT_EQ(L"E0010850|1|18", stored(kProduct, L"KLMN"));
}

TEST_F(KeyboardLayoutTest, WindowsVersionPicksTheBranch) {
    struct Case {
        platform::VersionRecord version;
        RegistrationBranch branch;
    };
    const Case cases[] = {
        {{5, 1, 1}, RegistrationBranch::Legacy},      {{6, 1, 1}, RegistrationBranch::Legacy},
        {{6, 2, 1}, RegistrationBranch::TextService}, {{6, 2, 3}, RegistrationBranch::Legacy},
        {{6, 2, 2}, RegistrationBranch::Legacy},      {{6, 3, 3}, RegistrationBranch::TextService},
        {{10, 0, 1}, RegistrationBranch::TextService}, {{0, 0, 0}, RegistrationBranch::Legacy},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.branch, chooseRegistrationBranch(c.version))
            << c.version.majorVersion << "." << c.version.minorVersion << " type " << int(c.version.productType);
    }
}

TEST_F(KeyboardLayoutTest, DispatcherRunsTheTextServiceBranchAndPostsAFontChange) {
    facts.version = {6, 2, platform::PRODUCT_WORKSTATION};
    // A regsvr32 run that fails to start stops nothing that follows it.
    shell.launches = false;
    EXPECT_EQ(0, registerInputMethod(services));
    ASSERT_EQ(1u, shell.executions.size());
    EXPECT_EQ(L"missing", stored(kProduct, L"KLCN"));
    EXPECT_EQ(L"E0010850|1|18", stored(kProduct, L"KLMN"));
    EXPECT_EQ(L"C:\\Windows\\system32\\zelnsoft.tte|1|64", stored(L"HKEY_CURRENT_USER\\EUDC\\936",
                                                                 L"SystemDefaultEUDCFont"));
    ASSERT_EQ(1u, broadcast.messages.size());
    EXPECT_TRUE(broadcast.messages[0].posted);
    EXPECT_EQ(0x001Du, broadcast.messages[0].message);
    EXPECT_EQ(0u, broadcast.messages[0].wParam);
    EXPECT_EQ(0, broadcast.messages[0].lParam);
}

TEST_F(KeyboardLayoutTest, DispatcherRunsTheLegacyBranchOnServersAndWhenTheVersionIsUnknown) {
    facts.version = {6, 2, 3};
    registerInputMethod(services);
    EXPECT_TRUE(shell.executions.empty());
    EXPECT_EQ(L"E0010804|1|18", stored(kProduct, L"KLCN"));

    facts.versionKnown = false;
    facts.version = {10, 0, platform::PRODUCT_WORKSTATION};
    registerInputMethod(services);
    EXPECT_TRUE(shell.executions.empty());
}

TEST_F(KeyboardLayoutTest, DispatcherPostsNoFontChangeWhenTheEudcLinkFails) {
    eudc.availability = platform::FakeEudc::Availability::NoEntryPoint;
    EXPECT_EQ(0, registerInputMethod(services));
    EXPECT_TRUE(broadcast.messages.empty());
    // The layout is registered all the same.
    EXPECT_EQ(L"E0010850|1|18", stored(kProduct, L"KLMN"));
}

}  // namespace
