// The engine over the real Windows layer: files by wide path, directory creation, the UTF-8 log written with
// append-only access, the system facts Windows reports, and a package appended to a real PE32+ program found, extracted
// and placed.
#include "engine/ChangeJournal.h"
#include "engine/FilePlacement.h"
#include "engine/InstallLog.h"
#include "engine/InstallerContext.h"
#include "engine/Md5.h"
#include "engine/PayloadExtraction.h"
#include "platform/win32/Win32DirectoryWalk.h"
#include "platform/win32/WindowsSystemFacts.h"
#include "tools/pkgtool/PackageWriter.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

using pkgtool::Bytes;

// A fresh folder under the temporary directory, removed with its content afterwards.
class WinScratch {
public:
    WinScratch() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        path_ = std::wstring(temp) + L"zeln-engine-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(GetTickCount());
        CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~WinScratch() { removeTree(path_); }
    WinScratch(const WinScratch&) = delete;
    WinScratch& operator=(const WinScratch&) = delete;

    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    static void removeTree(const std::wstring& folder) {
        WIN32_FIND_DATAW found{};
        const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring name = found.cFileName;
                if (name == L"." || name == L"..") {
                    continue;
                }
                const std::wstring child = folder + L"\\" + name;
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    removeTree(child);
                } else {
                    DeleteFileW(child.c_str());
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(folder.c_str());
    }
    std::wstring path_;
};

Bytes readAll(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeAll(const std::wstring& path, const Bytes& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool isDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(WineEngine, Md5FileStreamsAFileByItsWidePath) {
    WinScratch scratch;
    Bytes data(5000);
    for (std::size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::uint8_t>(i * 7);
    }
    const std::wstring path = scratch / L"\u041c\u043e\u043d.bin";
    writeAll(path, data);
    Md5Digest digest{};
    ASSERT_EQ(0, md5File(path, digest));
    EXPECT_EQ(md5Of(data.data(), data.size()), digest);
    const std::string abc = "abc";
    writeAll(scratch / L"abc.txt", Bytes(abc.begin(), abc.end()));
    ASSERT_EQ(0, md5File(scratch / L"abc.txt", digest));
    EXPECT_EQ(0x90, digest[0]);
    EXPECT_EQ(0x72, digest[15]);
    EXPECT_EQ(1, md5File(scratch / L"absent.bin", digest));
}

TEST(WineEngine, EnsureDirectoriesCreatesDottedFoldersAndFailsOnAnEmptyFirstComponent) {
    WinScratch scratch;
    const std::wstring file = scratch / L"first.last\\AppData\\v7.27\\data.bin";
    EXPECT_EQ(1, ensureDirectories(file, false));
    EXPECT_EQ(1, ensureDirectories(file, true));
    EXPECT_TRUE(isDirectory(scratch / L"first.last\\AppData\\v7.27"));
    EXPECT_FALSE(isDirectory(file));
    writeAll(file, {1});
    EXPECT_EQ(0, ensureDirectories(file, true));
    EXPECT_EQ(ERR_CREATE_DIRECTORY, ensureDirectories(L"\\ZelnIme.ime", true));
    writeAll(scratch / L"blocker", {1});
    EXPECT_EQ(ERR_CREATE_DIRECTORY, ensureDirectories(scratch / L"blocker\\sub\\f.txt", true));
}

TEST(WineEngine, LogIsUtf8WithOneByteOrderMarkAndCrLfLines) {
    WinScratch scratch;
    InstallLog log;
    log.setLogPath(scratch / L"ins.log");
    log.writeLogLine(L"OS Type : %s %s bit.", {osTypeName(OS_WIN7), archCodeName(ARCH_X64)});
    log.writeLogLine(L"wraning:reg create failed!err code:%d.key:%d.subkey:%s",
                     {5, static_cast<int>(reinterpret_cast<std::intptr_t>(HKEY_LOCAL_MACHINE)), L"Software\\\u0417"});
    const std::string expected =
        "\xEF\xBB\xBFOS Type : Win7 x64 bit.\r\n"
        "wraning:reg create failed!err code:5.key:-2147483646.subkey:Software\\\xD0\x97\r\n";
    const Bytes bytes = readAll(scratch / L"ins.log");
    EXPECT_EQ(expected, std::string(bytes.begin(), bytes.end()));
    log.deleteLogFile();
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((scratch / L"ins.log").c_str()));

    // An empty file gets the mark too; a surrogate pair is one four-byte character.
    writeAll(scratch / L"ins.log", {});
    log.writeLogLine(L"subkey:%s", {L"\U0001F600"});
    log.writeLogLine(L"again");
    const Bytes pair = readAll(scratch / L"ins.log");
    EXPECT_EQ("\xEF\xBB\xBFsubkey:\xF0\x9F\x98\x80\r\nagain\r\n", std::string(pair.begin(), pair.end()));
    log.deleteLogFile();
}

TEST(WineEngine, SystemFactsOfThisMachineGiveADesktopTable) {
    const platform::WindowsSystemFacts facts(nullptr);
    InstallerContext context;
    ASSERT_EQ(RESULT_OK, detectSystem(context, facts));
    EXPECT_EQ(ARCH_X64, context.archCode);
    computeDirectories(context, facts);
    wchar_t windows[MAX_PATH] = {};
    GetWindowsDirectoryW(windows, MAX_PATH);
    EXPECT_EQ(std::wstring(windows) + L"\\Fonts", context.directories[DEST_FONTS]);
    EXPECT_FALSE(context.directories[DEST_ROAMING].empty());
    EXPECT_EQ(context.directories[DEST_APPDATA] + L"\\Local", context.directories[DEST_LOCAL]);
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    EXPECT_EQ(std::wstring(module), context.modulePath);
}

TEST(WineEngine, PackageAppendedToARealPe32PlusProgramIsFoundExtractedAndPlaced) {
    WinScratch scratch;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const Bytes image = readAll(self);
    ASSERT_EQ(image.size(), imageEndOffset(self));

    const std::string text = "placed under Windows";
    const std::vector<pkgtool::PackageFile> files = {
        {L"bin\\tool.txt", DEST_INSTALL, true, Bytes(text.begin(), text.end())},
        {L"replaced.ttf", DEST_FONTS, false, Bytes(3000, 'k')},
        {L"v1.2\\user.dic", DEST_ROAMING, true, Bytes(100, 'u')},
        {L"v1.2\\mine.dic", DEST_ROAMING, true, Bytes(100, 'p')},
    };
    const Bytes unpacked = pkgtool::decompressedPackage(files);
    const Bytes member = pkgtool::gzipMember(unpacked);
    PackageTrailer trailer;
    trailer.magic = PACKAGE_MAGIC;
    trailer.unpackedSize = static_cast<std::uint32_t>(unpacked.size());
    trailer.directoryOffset = static_cast<std::uint32_t>(unpacked.size() - files.size() * ENTRY_SIZE);
    trailer.packedSize = static_cast<std::uint32_t>(member.size());
    const std::wstring installer = scratch / L"setup.exe";
    writeAll(installer, pkgtool::installerBytes(image, member, trailer));

    InstallerContext context;
    context.modulePath = installer;
    ASSERT_EQ(RESULT_OK, locatePackage(context));
    EXPECT_EQ(image.size(), context.packageOffset);
    context.archCode = ARCH_X64;
    context.directories[DEST_FONTS] = scratch / L"Fonts";
    context.directories[DEST_ROAMING] = scratch / L"Users\\first.last\\AppData\\Roaming";
    ASSERT_EQ(RESULT_OK, setInstallDirectory(context, scratch / L"Program Files\\Zelnsoft"));
    const std::wstring roaming = scratch / L"Users\\first.last\\AppData\\Roaming\\v1.2\\";
    CreateDirectoryW((scratch / L"Fonts").c_str(), nullptr);
    writeAll(scratch / L"Fonts\\replaced.ttf", {'o', 'l', 'd'});
    ASSERT_NE(ERR_CREATE_DIRECTORY, ensureDirectories(roaming + L"mine.dic", true));
    writeAll(roaming + L"mine.dic", {'m', 'i', 'n', 'e'});

    // Through the install's journal, kept in a folder of its own here.
    platform::Win32DirectoryWalk walk;
    const platform::WindowsSystemFacts facts(GetModuleHandleW(nullptr));
    InstallLog log;
    ChangeJournal journal(walk, facts, log);
    ASSERT_TRUE(journal.begin(scratch / L"journal\\install.journal"));
    context.lastProgress = 5;
    ASSERT_EQ(RESULT_OK, extractPayload(context));
    EXPECT_EQ(45u, context.lastProgress);
    context.lastProgress = 55;
    ASSERT_EQ(RESULT_OK, placeFiles(context, journal));
    EXPECT_EQ(95u, context.lastProgress);
    EXPECT_EQ(RESULT_OK, verifyFiles(context));
    EXPECT_EQ((Bytes{'o', 'l', 'd'}), readAll(scratch / L"Fonts\\replaced.ttf.1.old")) << "set aside until success";
    EXPECT_FALSE(journal.commit());
    const Bytes placed = readAll(scratch / L"Program Files\\Zelnsoft\\bin\\tool.txt");
    EXPECT_EQ(text, std::string(placed.begin(), placed.end()));
    EXPECT_EQ(Bytes(3000, 'k'), readAll(scratch / L"Fonts\\replaced.ttf"));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((scratch / L"Fonts\\replaced.ttf.1.old").c_str()));
    EXPECT_EQ(Bytes(100, 'u'), readAll(roaming + L"user.dic"));
    EXPECT_EQ((Bytes{'m', 'i', 'n', 'e'}), readAll(roaming + L"mine.dic")) << "the user's own";
    EXPECT_FALSE(isDirectory(scratch / L"Program Files\\Zelnsoft\\tmp"));
    EXPECT_FALSE(isDirectory(scratch / L"journal"));
}

}  // namespace
