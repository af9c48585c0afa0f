// The registration steps against Wine's real registry, read back with the registry's own calls, and the text
// service's regsvr32 run proved with a stand-in regsvr32 that records its parameters.
#include "engine/InstallerContext.h"
#include "platform/Calendar.h"
#include "platform/GivenSystemFacts.h"
#include "platform/win32/Win32Broadcast.h"
#include "platform/win32/Win32Eudc.h"
#include "platform/win32/Win32KeyboardLayouts.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/WindowsSystemFacts.h"
#include "system/FontRegistration.h"
#include "system/FontTable.h"
#include "system/KeyboardLayoutRegistration.h"
#include "system/TextServiceRegistration.h"
#include "system/UninstallEntry.h"
#include "tests/unit/engine/RecordedChanges.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

constexpr wchar_t kUninstallEntry[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}";

// The byte counts the steps hand to RegSetValueExW, in call order: what Windows then stores may carry a
// terminator more, which it adds itself when one follows the counted characters in memory.
class RecordingRegistry final : public platform::Win32Registry {
public:
    std::int32_t setString(const platform::RegistryKey& key, const std::wstring& name, const std::wstring& text,
                           std::uint32_t byteCount) override {
        writes.push_back({name, byteCount});
        return Win32Registry::setString(key, name, text, byteCount);
    }
    std::int32_t setDword(const platform::RegistryKey& key, const std::wstring& name, std::uint32_t value) override {
        writes.push_back({name, 4});
        return Win32Registry::setDword(key, name, value);
    }
    std::uint32_t countWritten(const std::wstring& name) const {
        for (const auto& write : writes) {
            if (write.first == name) {
                return write.second;
            }
        }
        return 0xFFFFFFFF;
    }

    std::vector<std::pair<std::wstring, std::uint32_t>> writes;
};

struct Stored {
    LSTATUS status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    DWORD size = 0;
    std::wstring text;  // REG_SZ data up to its terminator
    DWORD number = 0;   // REG_DWORD data
};

Stored query(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view = 0) {
    Stored stored;
    HKEY key = nullptr;
    stored.status = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key);
    if (stored.status != ERROR_SUCCESS) {
        return stored;
    }
    BYTE data[1024] = {};
    stored.size = sizeof data - 2;
    stored.status = RegQueryValueExW(key, name.c_str(), nullptr, &stored.type, data, &stored.size);
    RegCloseKey(key);
    if (stored.type == REG_SZ) {
        stored.text = reinterpret_cast<const wchar_t*>(data);
    } else if (stored.type == REG_DWORD) {
        stored.number = *reinterpret_cast<const DWORD*>(data);
    }
    return stored;
}

std::vector<std::wstring> enumerateValues(HKEY root, const std::wstring& path, REGSAM view) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
        return names;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t name[256] = {};
        DWORD length = 256;
        if (RegEnumValueW(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            break;
        }
        names.emplace_back(name, length);
    }
    RegCloseKey(key);
    return names;
}

std::wstring systemDirectory() {
    wchar_t directory[MAX_PATH] = {};
    GetSystemDirectoryW(directory, MAX_PATH);
    return directory;
}

// A file of the build tree, named as Wine sees the Linux file system.
std::wstring buildFile(const wchar_t* linuxPath) {
    std::wstring path = std::wstring(L"Z:") + linuxPath;
    for (wchar_t& character : path) {
        character = character == L'/' ? L'\\' : character;
    }
    return path;
}

std::wstring temporaryFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    return std::wstring(folder) + name;
}

class WineRegistrationTest : public ::testing::Test {
protected:
    WineRegistrationTest() : facts(GetModuleHandleW(nullptr)) {
        log.setLogPath(temporaryFile(L"ins.log"));
        context.archCode = ARCH_X64;
        context.directories[DEST_INSTALL] = L"C:\\Program Files (x86)\\Zelnsoft";
        context.trailer.productVersion = {7, 27, 1, 0};
        context.trailer.productCode = {0xBCC8E95D, 0x5517, 0x4B72, {0xA8, 0x7D, 0x8A, 0xDE, 0x00, 0x2B, 0xC4, 0x6D}};
        context.trailer.upgradeCode = {0xD4DE9A45, 0x5F90, 0x44FC, {0xBF, 0x02, 0x33, 0xB4, 0x80, 0x25, 0x5B, 0xD1}};
    }

    RecordingRegistry registry;
    platform::Win32KeyboardLayouts keyboardLayouts;
    platform::Win32Shell shell;
    platform::Win32Eudc eudc;
    platform::Win32Broadcast broadcast;
    platform::WindowsSystemFacts facts;
    platform::LocalCalendar calendar;
    InstallLog log;
    InstallerContext context;
    RecordedChanges changes;
    RegistrationServices services{registry, keyboardLayouts, shell, eudc, broadcast, facts, calendar, log, changes};
};

TEST_F(WineRegistrationTest, FontsProductKeysAndUninstallEntryReadBackFromTheRegistry) {
    ASSERT_EQ(0, registerFontsAndProductKeys(services, context));
    writeProductRegistration(services, context);
    writeUninstallEntry(services, context);

    // The font list: 28 values naming their bare file names.
    const std::wstring fonts = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
    for (const FontRow& row : fontTable()) {
        const std::wstring file = row.fileName;
        const Stored font = query(HKEY_LOCAL_MACHINE, fonts, row.displayName);
        ASSERT_EQ(ERROR_SUCCESS, font.status) << row.displayName;
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), font.type);
        EXPECT_EQ(file, font.text);
        EXPECT_EQ(2 * file.size(), registry.countWritten(row.displayName));
    }

    // "APPDIR" and "VERSION" are handed over without their terminator, "KLCN" and "KLMN" with it.
    const std::wstring product = L"SOFTWARE\\ZelnSoft\\RudeRadod";
    const Stored appDir = query(HKEY_CURRENT_USER, product, L"APPDIR");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), appDir.type);
    EXPECT_EQ(L"C:\\Program Files (x86)\\Zelnsoft", appDir.text);
    EXPECT_EQ(62u, registry.countWritten(L"APPDIR"));
    const Stored version = query(HKEY_CURRENT_USER, product, L"VERSION");
    EXPECT_EQ(L"7.27.1.0", version.text);
    EXPECT_EQ(16u, registry.countWritten(L"VERSION"));
    // Wine wrote the 18 bytes given: the same on Windows.
    const Stored chinese = query(HKEY_CURRENT_USER, product, L"KLCN");
    const Stored mongolian = query(HKEY_CURRENT_USER, product, L"KLMN");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), chinese.type);
    EXPECT_EQ(18u, chinese.size);
    EXPECT_EQ(18u, mongolian.size);
    EXPECT_EQ(18u, registry.countWritten(L"KLCN"));
    EXPECT_EQ(L"E", chinese.text.substr(0, 1));
    EXPECT_EQ(L"0804", chinese.text.substr(4));
    EXPECT_EQ(L"0850", mongolian.text.substr(4));
    EXPECT_EQ(L"ZelnIme.ime", query(HKEY_LOCAL_MACHINE, std::wstring(kKeyboardLayoutsKey) + L"\\" + chinese.text,
                                    L"IME File").text);

    const Stored eudcFont = query(HKEY_CURRENT_USER, L"EUDC\\936", L"SystemDefaultEUDCFont");
    EXPECT_EQ(ERROR_SUCCESS, eudcFont.status);
    EXPECT_EQ(systemDirectory() + L"\\zelnsoft.tte", eudcFont.text);

    const Stored upgrade = query(HKEY_CURRENT_USER,
                                 L"SOFTWARE\\Microsoft\\Installer\\Products\\BCC8E95D55174B72A87D8ADE002BC46D",
                                 L"UpgradeCode");
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), upgrade.type);
    EXPECT_EQ(L"D4DE9A455F9044FCBF0233B480255BD1", upgrade.text);

    // The uninstall entry in the 64-bit view, and not in the 32-bit one.
    const std::vector<std::wstring> entry = enumerateValues(HKEY_LOCAL_MACHINE, kUninstallEntry, KEY_WOW64_64KEY);
    EXPECT_EQ(22u, entry.size());
    EXPECT_TRUE(enumerateValues(HKEY_LOCAL_MACHINE, kUninstallEntry, KEY_WOW64_32KEY).empty());
    const std::vector<std::wstring> order = {
        L"AuthorizedCDFPrefix", L"Comments", L"Contact", L"DisplayIcon", L"DisplayName", L"DisplayVersion",
        L"EstimatedSize", L"HelpLink", L"HelpTelephone", L"InstallDate", L"InstallLocation", L"InstallSource",
        L"Language", L"NoRemove", L"NoModify", L"NoRepair", L"Publisher", L"Readme", L"Size", L"UninstallString",
        L"URLInfoAbout", L"URLUpdateInfo", L"Readme"};
    std::vector<std::wstring> written;
    bool inEntry = false;
    for (const auto& write : registry.writes) {
        inEntry = inEntry || write.first == L"AuthorizedCDFPrefix";
        if (inEntry) {
            written.push_back(write.first);
        }
    }
    EXPECT_EQ(order, written);
    // RegEnumValueW lists the 22 distinct names ("Readme" is written twice). Wine keeps a key's values sorted
    // by name ignoring case, where Windows lists them in the order first written, the order recorded above.
    std::vector<std::wstring> distinct(order.begin(), order.end() - 1);
    std::sort(distinct.begin(), distinct.end(),
              [](const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) < 0; });
    EXPECT_EQ(distinct, entry);
    for (const std::wstring& name : order) {
        const Stored value = query(HKEY_LOCAL_MACHINE, kUninstallEntry, name, KEY_WOW64_64KEY);
        EXPECT_EQ(ERROR_SUCCESS, value.status) << name;
        const bool number = name == L"EstimatedSize" || name == L"Language" || name.rfind(L"No", 0) == 0;
        EXPECT_EQ(static_cast<DWORD>(number ? REG_DWORD : REG_SZ), value.type) << name;
    }
    EXPECT_EQ(0u, query(HKEY_LOCAL_MACHINE, kUninstallEntry, L"Comments", KEY_WOW64_64KEY).size);
    EXPECT_EQ(0x850u, query(HKEY_LOCAL_MACHINE, kUninstallEntry, L"Language", KEY_WOW64_64KEY).number);
    EXPECT_EQ(L"泽尔恩输入法", query(HKEY_LOCAL_MACHINE, kUninstallEntry, L"DisplayName", KEY_WOW64_64KEY).text);
    EXPECT_EQ(12u, registry.countWritten(L"DisplayName"));
    EXPECT_EQ(L"C:\\Program Files (x86)\\Zelnsoft\\ZelnIME\\Uninstaller.exe",
              query(HKEY_LOCAL_MACHINE, kUninstallEntry, L"UninstallString", KEY_WOW64_64KEY).text);
    EXPECT_EQ(8u, query(HKEY_LOCAL_MACHINE, kUninstallEntry, L"InstallDate", KEY_WOW64_64KEY).text.size());
}

TEST_F(WineRegistrationTest, TextServiceBranchRunsRegsvr32OnTheModuleAndWaitsForIt) {
    // The demo payload's text-service module in the system directory, where file placement puts it.
    const std::wstring module = systemDirectory() + L"\\ZelnImeTSF.ime";
    ASSERT_TRUE(CopyFileW(buildFile(ZELN_DEMO_TEXT_SERVICE_W).c_str(), module.c_str(), FALSE)) << GetLastError();
    // Wine's shell looks in the system directory before any other, so the stand-in takes the place of the
    // prefix's own regsvr32, and Wine is told to run the file rather than its built-in program. The old file
    // is unlinked first: the prefix's system directory shares its files with the harness's base prefix.
    const std::wstring systemRegsvr32 = systemDirectory() + L"\\regsvr32.exe";
    ASSERT_TRUE(DeleteFileW(systemRegsvr32.c_str())) << GetLastError();
    ASSERT_TRUE(CopyFileW(buildFile(ZELN_STANDIN_REGSVR32_W).c_str(), systemRegsvr32.c_str(), TRUE))
        << GetLastError();
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Wine\\DllOverrides", L"regsvr32.exe",
                                             REG_SZ, L"native", sizeof L"native"));
    const std::wstring record = temporaryFile(L"regsvr32-record.txt");
    DeleteFileW(record.c_str());
    ASSERT_TRUE(SetEnvironmentVariableW(L"ZELN_REGSVR32_RECORD", record.c_str()));

    platform::GivenSystemFacts windows10;
    windows10.version = {10, 0, platform::PRODUCT_WORKSTATION};
    RegistrationServices onWindows10{registry, keyboardLayouts, shell, eudc, broadcast, windows10, calendar, log, changes};
    EXPECT_EQ(0, registerInputMethod(onWindows10));

    std::ifstream stream(std::filesystem::path(record), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
    const std::wstring recorded(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    // The stand-in ran once, in the system directory, with the parameters exactly as given, and had finished
    // when the step returned.
    EXPECT_EQ(L"parameters:/s- " + module + L"\ndirectory:" + systemDirectory() + L"\ndone:0\n", recorded);
    EXPECT_EQ(1u, query(HKEY_CURRENT_USER, L"Software\\Zelnsoft\\DemoTextService", L"Registered").number);

    const Stored mongolian = query(HKEY_CURRENT_USER, L"Software\\Zelnsoft\\RudeRadod", L"KLMN");
    ASSERT_EQ(ERROR_SUCCESS, mongolian.status);
    EXPECT_EQ(L"泽尔恩输入法(MN)", query(HKEY_LOCAL_MACHINE,
                                          std::wstring(kKeyboardLayoutsKey) + L"\\" + mongolian.text,
                                          L"Layout Text").text);
}

}  // namespace
