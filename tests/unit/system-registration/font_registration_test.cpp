// The font step: product key values, the font list, the font table itself, and the three causes of 18.
#include "system/FontRegistration.h"

#include "system/FontTable.h"

#include "registration_fixture.h"

#include <algorithm>
#include <fstream>
#include <set>

namespace {

constexpr wchar_t kProductValues[] = L"HKEY_CURRENT_USER\\SOFTWARE\\ZelnSoft\\RudeRadod";
// The default view of the 32-bit installer on 64-bit Windows.
constexpr wchar_t kFontList[] =
    L"HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";

class FontRegistrationTest : public RegistrationTest {
protected:
    FontRegistrationTest() {
        context.directories[DEST_INSTALL] = L"C:\\Program Files (x86)\\Zelnsoft";
        context.trailer.productVersion = {7, 27, 1, 0};
    }

    // No layout key, preload slot or EUDC setting: the input method's registration did not run.
    void expectNoInputMethod() const {
        EXPECT_TRUE(registry.subkeyNames(kLayoutList).empty());
        EXPECT_FALSE(registry.hasKey(L"HKEY_CURRENT_USER\\EUDC\\936"));
        EXPECT_TRUE(broadcast.messages.empty());
    }

    InstallerContext context;
};

TEST_F(FontRegistrationTest, FontTableHas28OpenTypeRowsWithShortFileNamesInAlphabeticalOrder) {
    std::set<std::wstring> names;
    std::wstring previous;
    for (const FontRow& row : fontTable()) {
        ASSERT_NE(nullptr, row.displayName);
        ASSERT_NE(nullptr, row.fileName);
        const std::wstring name = row.displayName;
        const std::wstring file = row.fileName;
        const std::wstring suffix = L" (OpenType)";
        EXPECT_EQ(0u, name.rfind(L"Zeln", 0)) << name;
        ASSERT_GT(name.size(), 4 + suffix.size()) << name;
        EXPECT_EQ(suffix, name.substr(name.size() - suffix.size())) << name;
        const std::size_t dot = file.find(L'.');
        EXPECT_TRUE(dot >= 1 && dot <= 8 && file.substr(dot) == L".ttf") << file;
        EXPECT_LT(previous, file);
        previous = file;
        names.insert(name);
    }
    EXPECT_EQ(kFontCount, names.size());
}

// The demo payload makes its fonts from the table's file; the installer registers the rows compiled from it.
TEST_F(FontRegistrationTest, CompiledFontTableIsTheRowsOfTheTableFile) {
    std::ifstream file(ZELN_FONT_TABLE_FILE, std::ios::binary);
    ASSERT_TRUE(file.is_open());
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);) {
        lines.push_back(line);
    }
    ASSERT_EQ(kFontCount, lines.size());
    for (std::size_t row = 0; row < kFontCount; ++row) {
        const std::wstring compiled = std::wstring(fontTable()[row].fileName) + L"\t" + fontTable()[row].displayName;
        ASSERT_TRUE(std::all_of(compiled.begin(), compiled.end(), [](wchar_t c) { return c < 0x80; }));
        EXPECT_EQ(lines[row], std::string(compiled.begin(), compiled.end()));
    }
}

TEST_F(FontRegistrationTest, ProductValuesAndFontsAreWrittenWithoutCountedTerminators) {
    registry.putString(kProductValues, L"KLCN", L"E0210804");
    registry.putString(kFontList, L"Other Font (TrueType)", L"other.ttf");
    registry.putString(kFontList, fontTable()[3].displayName, L"stale.ttf");
    EXPECT_EQ(0, registerFontsAndProductKeys(services, context));

    EXPECT_EQ(L"C:\\Program Files (x86)\\Zelnsoft|1|62", stored(kProductValues, L"APPDIR"));
    EXPECT_EQ(L"7.27.1.0|1|16", stored(kProductValues, L"VERSION"));
    EXPECT_EQ(L"E0210804|1|18", stored(kProductValues, L"KLCN"));
    const std::vector<std::wstring> fontValues = registry.valueNames(kFontList);
    ASSERT_EQ(29u, fontValues.size());
    EXPECT_EQ(L"Other Font (TrueType)", fontValues[0]);
    // Seeded with its terminator, and left so.
    EXPECT_EQ(L"other.ttf|1|20", stored(kFontList, L"Other Font (TrueType)"));
    for (const FontRow& row : fontTable()) {
        const std::wstring file = row.fileName;
        EXPECT_EQ(file + L"|1|" + std::to_wstring(2 * file.size()), stored(kFontList, row.displayName));
    }
    // The font values go in table order (the overwritten one keeps its place).
    std::vector<std::wstring> written;
    for (const auto& call : registry.calls()) {
        if (call.api == L"RegSetValueExW" && call.keyPath.find(L"\\Fonts") != std::wstring::npos) {
            written.push_back(call.valueName);
        }
    }
    ASSERT_EQ(kFontCount, written.size());
    for (std::size_t row = 0; row < kFontCount; ++row) {
        EXPECT_EQ(fontTable()[row].displayName, written[row]);
    }
    EXPECT_EQ(0u, registry.openHandleCount());
    EXPECT_TRUE(logLines().empty());
}

TEST_F(FontRegistrationTest, KeysAreOpenedWithFullAccessInTheDefaultView) {
    ASSERT_EQ(0, registerFontsAndProductKeys(services, context));
    std::vector<std::wstring> opens;
    for (const auto& call : registry.calls()) {
        if (call.api == L"RegOpenKeyExW" || call.api == L"RegCreateKeyExW") {
            opens.push_back(call.api + L" " + std::to_wstring(call.access) + L" " + call.keyPath);
        }
    }
    ASSERT_GE(opens.size(), 4u);
    EXPECT_EQ(L"RegOpenKeyExW 983103 HKEY_CURRENT_USER\\SOFTWARE\\ZelnSoft\\RudeRadod", opens[0]);
    EXPECT_EQ(L"RegCreateKeyExW 983103 HKEY_CURRENT_USER\\SOFTWARE\\ZelnSoft\\RudeRadod", opens[1]);
    EXPECT_EQ(std::wstring(L"RegOpenKeyExW 983103 ") + kFontList, opens[2]);
    EXPECT_EQ(std::wstring(L"RegCreateKeyExW 983103 ") + kFontList, opens[3]);
}

TEST_F(FontRegistrationTest, FontChangeIsSentBeforeTheInputMethodIsRegistered) {
    ASSERT_EQ(0, registerFontsAndProductKeys(services, context));
    ASSERT_EQ(2u, broadcast.messages.size());
    EXPECT_FALSE(broadcast.messages[0].posted);
    EXPECT_EQ(0x001Du, broadcast.messages[0].message);
    EXPECT_EQ(kFontChangeTimeoutMs, broadcast.messages[0].timeoutMs);
    EXPECT_TRUE(broadcast.messages[1].posted);
    EXPECT_EQ(L"E0010850|1|18", stored(kProductValues, L"KLMN"));
}

TEST_F(FontRegistrationTest, VersionNumbersArePrintedInDecimalWithoutLeadingZeros) {
    EXPECT_EQ(L"7.27.1.0", versionText({7, 27, 1, 0}));
    EXPECT_EQ(L"10.0.4294967295.65536", versionText({10, 0, 4294967295u, 65536}));
}

TEST_F(FontRegistrationTest, ProductKeyThatCannotBeMadeGives18AndALogLine) {
    registry.failOn(platform::FakeRegistry::Operation::Open, kProductValues);
    registry.failOn(platform::FakeRegistry::Operation::Create, kProductValues);
    EXPECT_EQ(ERR_REGISTRY, registerFontsAndProductKeys(services, context));
    EXPECT_EQ((std::vector<std::string>{
                  "wraning:reg create failed!err code:5.key:-2147483647.subkey:SOFTWARE\\ZelnSoft\\RudeRadod"}),
              logLines());
    EXPECT_FALSE(registry.hasKey(kFontList));
    expectNoInputMethod();
}

TEST_F(FontRegistrationTest, ProductValueThatCannotBeWrittenGives18WithoutALogLine) {
    for (const wchar_t* value : {L"APPDIR", L"VERSION"}) {
        platform::FakeRegistry failing;
        failing.putKey(kLayoutList);
        RegistrationServices withFailure{failing, keyboardLayouts, shell, eudc, broadcast, facts, calendar, log, changes};
        failing.failOnValue(platform::FakeRegistry::Operation::SetValue, kProductValues, value);
        EXPECT_EQ(ERR_REGISTRY, registerFontsAndProductKeys(withFailure, context)) << value;
        EXPECT_FALSE(failing.hasKey(kFontList)) << value;
        EXPECT_TRUE(failing.subkeyNames(kLayoutList).empty()) << value;
        EXPECT_EQ(0u, failing.openHandleCount()) << value;
    }
    EXPECT_TRUE(logLines().empty());
    EXPECT_TRUE(broadcast.messages.empty());
}

TEST_F(FontRegistrationTest, FontListThatCannotBeMadeGives18AndALogLine) {
    registry.failOn(platform::FakeRegistry::Operation::Open, kFontList);
    registry.failOn(platform::FakeRegistry::Operation::Create, kFontList, 1021);
    EXPECT_EQ(ERR_REGISTRY, registerFontsAndProductKeys(services, context));
    EXPECT_EQ((std::vector<std::string>{"wraning:reg create failed!err code:1021.key:-2147483646.subkey:"
                                        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"}),
              logLines());
    // The product values were written before the font list failed.
    EXPECT_EQ(L"7.27.1.0|1|16", stored(kProductValues, L"VERSION"));
    expectNoInputMethod();
}

TEST_F(FontRegistrationTest, FontThatCannotBeWrittenIsSkipped) {
    registry.failOnValue(platform::FakeRegistry::Operation::SetValue, kFontList, fontTable()[0].displayName);
    EXPECT_EQ(0, registerFontsAndProductKeys(services, context));
    EXPECT_EQ(kFontCount - 1, registry.valueNames(kFontList).size());
    EXPECT_EQ(L"missing", stored(kFontList, fontTable()[0].displayName));
}

TEST_F(FontRegistrationTest, SetStringValueNeedsAnOpenKey) {
    const platform::RegistryKey closed;
    EXPECT_FALSE(setStringValue(registry, closed, L"Name", L"text"));
    EXPECT_TRUE(registry.calls().empty());
}

}  // namespace
