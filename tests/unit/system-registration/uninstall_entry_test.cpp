// The installer product registration and the uninstall entry: values, order, types, byte counts and view.
#include "system/UninstallEntry.h"

#include "registration_fixture.h"

namespace {

constexpr wchar_t kEntry64[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}";
constexpr wchar_t kEntry32[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    L"{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}";

// {BCC8E95D-5517-4B72-A87D-8ADE002BC46D} and {D4DE9A45-5F90-44FC-BF02-33B480255BD1}
const PackageGuid kProductCode{0xBCC8E95D, 0x5517, 0x4B72, {0xA8, 0x7D, 0x8A, 0xDE, 0x00, 0x2B, 0xC4, 0x6D}};
const PackageGuid kUpgradeCode{0xD4DE9A45, 0x5F90, 0x44FC, {0xBF, 0x02, 0x33, 0xB4, 0x80, 0x25, 0x5B, 0xD1}};

class UninstallEntryTest : public RegistrationTest {
protected:
    UninstallEntryTest() {
        context.archCode = ARCH_X64;
        context.directories[DEST_INSTALL] = L"C:\\Program Files (x86)\\Zelnsoft";
        context.trailer.productVersion = {7, 27, 1, 0};
        context.trailer.productCode = kProductCode;
        context.trailer.upgradeCode = kUpgradeCode;
    }
    InstallerContext context;
};

TEST_F(UninstallEntryTest, GuidTextIsTheCanonicalOrderInUpperCase) {
    EXPECT_EQ(L"BCC8E95D55174B72A87D8ADE002BC46D", guidText(kProductCode));
    EXPECT_EQ(L"000000010002000300000000000000FF", guidText({1, 2, 3, {0, 0, 0, 0, 0, 0, 0, 0xFF}}));
}

TEST_F(UninstallEntryTest, ProductRegistrationHoldsTheUpgradeCodeUnderThePackagesProductCode) {
    context.trailer.productCode.data4[7] = 0x6C;
    writeProductRegistration(services, context);
    EXPECT_EQ(L"D4DE9A455F9044FCBF0233B480255BD1|1|64",
              stored(L"HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Installer\\Products\\BCC8E95D55174B72A87D8ADE002BC46C",
                     L"UpgradeCode"));
    // The uninstall entry keeps the product's own code whatever the package carries.
    writeUninstallEntry(services, context);
    EXPECT_TRUE(registry.hasKey(kEntry64));
}

TEST_F(UninstallEntryTest, TwentyThreeValuesGoInOrderWithTheirTypesAndByteCounts) {
    EXPECT_EQ(0, writeUninstallEntry(services, context));
    EXPECT_EQ(L"AuthorizedCDFPrefix:0 Comments:0 Contact:0 DisplayIcon:106 DisplayName:12 DisplayVersion:16 "
              L"EstimatedSize:4 HelpLink:54 HelpTelephone:0 InstallDate:16 InstallLocation:78 InstallSource:0 "
              L"Language:4 NoRemove:4 NoModify:4 NoRepair:4 Publisher:28 Readme:0 Size:0 UninstallString:110 "
              L"URLInfoAbout:0 URLUpdateInfo:0 Readme:0 ",
              writes());
    EXPECT_EQ(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\Installer.ico|1|106", stored(kEntry64, L"DisplayIcon"));
    EXPECT_EQ(L"泽尔恩输入法|1|12", stored(kEntry64, L"DisplayName"));
    EXPECT_EQ(L"7.27.1.0|1|16", stored(kEntry64, L"DisplayVersion"));
    EXPECT_EQ(L"0|4|4", stored(kEntry64, L"EstimatedSize"));
    EXPECT_EQ(L"http://www.zelnsoft.example|1|54", stored(kEntry64, L"HelpLink"));
    EXPECT_EQ(L"20261206|1|16", stored(kEntry64, L"InstallDate"));
    EXPECT_EQ(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME|1|78", stored(kEntry64, L"InstallLocation"));
    EXPECT_EQ(L"2128|4|4", stored(kEntry64, L"Language"));
    EXPECT_EQ(L"Vorarire, zir.|1|28", stored(kEntry64, L"Publisher"));
    EXPECT_EQ(L"|1|0", stored(kEntry64, L"Readme"));
    EXPECT_EQ(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\Uninstaller.exe|1|110",
              stored(kEntry64, L"UninstallString"));
    EXPECT_EQ(22u, registry.valueNames(kEntry64).size());
    EXPECT_EQ(0u, registry.openHandleCount());
}

TEST_F(UninstallEntryTest, ArchitectureCodeChoosesTheView) {
    writeUninstallEntry(services, context);
    EXPECT_TRUE(registry.hasKey(kEntry64));
    EXPECT_FALSE(registry.hasKey(kEntry32));
    ASSERT_FALSE(registry.calls().empty());
    EXPECT_EQ(0xF013Fu, registry.calls()[0].access);

    for (ArchCode arch : {ARCH_X86, ARCH_ARM, ARCH_IA64, ARCH_UNKNOWN}) {
        platform::FakeRegistry other;
        RegistrationServices otherServices{other, keyboardLayouts, shell, eudc, broadcast, facts, calendar, log, changes};
        context.archCode = arch;
        writeUninstallEntry(otherServices, context);
        EXPECT_TRUE(other.hasKey(kEntry32)) << arch;
        EXPECT_FALSE(other.hasKey(kEntry64)) << arch;
        EXPECT_EQ(0xF003Fu, other.calls()[0].access) << arch;
    }
}

TEST_F(UninstallEntryTest, InstallDateIsTheLocalDateWithZeroPaddedMonthAndDay) {
    calendar.setToday({2027, 1, 5});
    writeUninstallEntry(services, context);
    EXPECT_EQ(L"20270105|1|16", stored(kEntry64, L"InstallDate"));
    EXPECT_EQ(L"20261231", installDateText({2026, 12, 31}));
}

TEST_F(UninstallEntryTest, KeyThatCannotBeMadeSkipsTheRecordWithALogLine) {
    registry.failOn(platform::FakeRegistry::Operation::Open, kEntry64);
    registry.failOn(platform::FakeRegistry::Operation::Create, kEntry64);
    EXPECT_EQ(0, writeUninstallEntry(services, context));
    EXPECT_EQ((std::vector<std::string>{"wraning:reg create failed!err code:5.key:-2147483646.subkey:SOFTWARE\\"
                                        "Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
                                        "{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}"}),
              logLines());
    EXPECT_TRUE(writes().empty());
}

}  // namespace
