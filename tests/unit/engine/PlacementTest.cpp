// Placing the packaged files from the unpacked store into their destinations, the checks that refuse unsafe
// directories before anything is written, and the verification afterwards.
#include "EngineFixture.h"

#include "engine/FilePlacement.h"
#include "engine/Md5.h"
#include "engine/PayloadExtraction.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace enginetest;
namespace fs = std::filesystem;

// Extracted to the store, ready for placement at 55.
InstallResult extractThenPlace(Staged& staged) {
    staged.context.lastProgress = 5;
    EXPECT_EQ(RESULT_OK, extractPayload(staged.context));
    staged.listener.progress.clear();
    staged.context.lastProgress = 55;
    return placeFiles(staged.context, staged.journal);
}

// Every regular file below a folder, by its path relative to it.
std::set<std::string> filesBelow(const fs::path& root) {
    std::set<std::string> found;
    for (const auto& item : fs::recursive_directory_iterator(root)) {
        if (item.is_regular_file()) {
            found.insert(fs::relative(item.path(), root).string());
        }
    }
    return found;
}

TEST(Placement, EveryEntryLandsInItsSlotWithSubfoldersAndProgressTo95) {
    const Bytes big = noise(40000, 1), small = noise(700, 2);
    const Installer installer = makeInstaller({
        file(L"app\\bin\\tool.exe", DEST_INSTALL, big),
        file(L"ZelnIme.ime", DEST_SYSNATIVE, small),
        file(L"ZelnIme.ime", DEST_SYSTEM32, noise(600, 3)),
        file(L"empty.dat", DEST_FONTS, {}),
        file(L"Zelnsoft\\data\\user.dic", DEST_ROAMING, noise(900, 4), true),
        file(L"a\\b\\c.dat", DEST_PROGRAM_FILES_64, noise(1200, 5), true),
    });
    Staged staged(installer);
    EXPECT_EQ(RESULT_OK, extractThenPlace(staged));
    EXPECT_EQ(big, readFile(staged.slot(DEST_INSTALL) / "app" / "bin" / "tool.exe"));
    EXPECT_EQ(small, readFile(staged.slot(DEST_SYSNATIVE) / "ZelnIme.ime"));
    EXPECT_EQ(noise(600, 3), readFile(staged.slot(DEST_SYSTEM32) / "ZelnIme.ime"));
    EXPECT_TRUE(fs::exists(staged.slot(DEST_FONTS) / "empty.dat"));
    EXPECT_EQ(0u, fs::file_size(staged.slot(DEST_FONTS) / "empty.dat"));
    EXPECT_EQ(noise(900, 4), readFile(staged.slot(DEST_ROAMING) / "Zelnsoft" / "data" / "user.dic"));
    EXPECT_EQ(noise(1200, 5), readFile(staged.slot(DEST_PROGRAM_FILES_64) / "a" / "b" / "c.dat"));
    EXPECT_FALSE(fs::exists(staged.temp()));
    EXPECT_EQ(6u, staged.context.entryCount);
    ASSERT_EQ(6u, staged.context.placedFiles.size());
    EXPECT_EQ(staged.context.directories[DEST_FONTS] + L"\\empty.dat", staged.context.placedFiles[3].path);
    EXPECT_EQ(DEST_FONTS, staged.context.placedFiles[3].kind);
    // 40000 of 43400 bytes after the first entry: 55 + 36.86. The empty file changes nothing, and the fifth
    // entry reaches 93.89 only.
    EXPECT_EQ((std::vector<int>{91, 92, 93, 95}), staged.listener.progress);
    EXPECT_EQ(RESULT_OK, verifyFiles(staged.context));
}

TEST(Placement, FortyEqualFilesShowTheSinglePrecisionRatio) {
    std::vector<pkgtool::PackageFile> files;
    for (int i = 0; i < 40; ++i) {
        files.push_back(file(L"f" + std::to_wstring(i) + L".bin", DEST_INSTALL, noise(1000, static_cast<std::uint32_t>(i))));
    }
    Staged staged(makeInstaller(files));
    EXPECT_EQ(RESULT_OK, extractThenPlace(staged));
    // In single precision 7000 / 40000 is 0.174999997, so 7 points fall short and 62 is never sent; exact
    // arithmetic would send every value from 56 to 95.
    EXPECT_EQ((std::vector<int>{56, 57, 58, 59, 60, 61, 63, 65, 66, 67, 68, 70, 71, 72, 73, 75, 77, 79, 80, 82,
                                84, 85, 87, 89, 90, 92, 94, 95}),
              staged.listener.progress);
}

// What an upgrade finds at the destinations: a product file of the earlier edition is replaced; one a program
// has loaded is set aside and replaced; one held open without delete sharing gets the new file beside it and
// is replaced at the restart, which the journal's commit reports; the user's own per-user file stays as it
// is, not checked against the package's digest, while a missing one is placed. Until the restart every file
// that was in use is still readable; after it, every product file is the new edition's and nothing is left
// beside it.
TEST(Placement, ReplacesProductFilesKeepsTheUsersAndLeavesFilesInUseToTheRestart) {
    const Installer installer = makeInstaller({
        file(L"ZelnIME\\readme.txt", DEST_INSTALL, noise(300, 20), true),
        file(L"ZelnIME\\dict\\main.dic", DEST_INSTALL, noise(400, 21), true),
        file(L"ZelnHuhe.ttf", DEST_FONTS, noise(500, 22), true),
        file(L"Zelnsoft\\userphrase.dat", DEST_ROAMING, noise(100, 23), true),
        file(L"Zelnsoft\\settings.ini", DEST_ROAMING, noise(50, 24), true),
    });
    Staged staged(installer);
    const fs::path app = staged.slot(DEST_INSTALL) / "ZelnIME";
    const fs::path fonts = staged.slot(DEST_FONTS);
    const fs::path roaming = staged.slot(DEST_ROAMING) / "Zelnsoft";
    const Bytes earlier{'o', 'l', 'd'}, users{'m', 'i', 'n', 'e'};
    for (const fs::path& folder : {app / "dict", fonts, roaming}) fs::create_directories(folder);
    for (const fs::path& path : {app / "readme.txt", app / "dict" / "main.dic", fonts / "ZelnHuhe.ttf"}) {
        writeFile(path, earlier);
    }
    writeFile(roaming / "userphrase.dat", users);
    staged.files.loaded.insert(staged.scratch.engine(L"slot0\\ZelnIME\\dict\\main.dic"));
    staged.files.held.insert(staged.scratch.engine(L"slot3\\ZelnHuhe.ttf"));

    EXPECT_EQ(RESULT_OK, extractThenPlace(staged));
    EXPECT_EQ(noise(300, 20), readFile(app / "readme.txt"));
    EXPECT_EQ(noise(400, 21), readFile(app / "dict" / "main.dic"));
    EXPECT_EQ(earlier, readFile(app / "dict" / "main.dic.1.old")) << "still loaded under its new name";
    EXPECT_EQ(earlier, readFile(fonts / "ZelnHuhe.ttf")) << "still readable where it was";
    EXPECT_EQ(noise(500, 22), readFile(fonts / "ZelnHuhe.ttf.1.new"));
    EXPECT_EQ(users, readFile(roaming / "userphrase.dat"));
    EXPECT_EQ(noise(50, 24), readFile(roaming / "settings.ini"));
    std::vector<Placement> placements;
    for (const PlacedFile& placed : staged.context.placedFiles) placements.push_back(placed.placement);
    EXPECT_EQ((std::vector<Placement>{Placement::Placed, Placement::Placed, Placement::AtRestart,
                                      Placement::UsersOwn, Placement::Placed}),
              placements);
    EXPECT_EQ(staged.scratch.engine(L"slot3\\ZelnHuhe.ttf.1.new"), staged.context.placedFiles[2].path);
    EXPECT_EQ(RESULT_OK, verifyFiles(staged.context)) << "the waiting font and not the user's file are digested";
    EXPECT_FALSE(fs::exists(staged.temp()));

    EXPECT_TRUE(staged.journal.commit()) << "a restart completes the install";
    EXPECT_FALSE(fs::exists(app / "readme.txt.1.old"));
    EXPECT_TRUE(fs::exists(app / "dict" / "main.dic.1.old"));
    staged.files.restart();
    EXPECT_EQ(noise(500, 22), readFile(fonts / "ZelnHuhe.ttf"));
    EXPECT_EQ((std::set<std::string>{"ZelnIME/readme.txt", "ZelnIME/dict/main.dic"}), filesBelow(staged.slot(DEST_INSTALL)));
    EXPECT_EQ((std::set<std::string>{"ZelnHuhe.ttf"}), filesBelow(fonts));
    EXPECT_EQ(users, readFile(roaming / "userphrase.dat"));
}

// A folder where a file belongs is not the earlier edition's file: it is never moved, and the file cannot be
// placed.
TEST(Placement, AFolderInTheWayOfAFileStopsPlacement) {
    const Installer installer = makeInstaller({file(L"ZelnHuhe.ttf", DEST_FONTS, noise(100, 25))});
    Staged staged(installer);
    fs::create_directories(staged.slot(DEST_FONTS) / "ZelnHuhe.ttf" / "inside");
    EXPECT_EQ(ERR_WRITE, extractThenPlace(staged));
    EXPECT_TRUE(fs::is_directory(staged.slot(DEST_FONTS) / "ZelnHuhe.ttf" / "inside"));
    EXPECT_FALSE(fs::exists(staged.temp()));
}

TEST(Placement, SixtyFourBitEntriesStayBehindOn32BitWindowsAndTheirTwinsReplaceThem) {
    const Installer installer = makeInstaller({
        file(L"ZelnIme.ime", DEST_SYSNATIVE, noise(500, 7), true),
        file(L"ZelnIme.ime", DEST_SYSTEM32, noise(400, 8), true),
        file(L"x64\\tool.exe", DEST_PROGRAM_FILES_64, noise(300, 9)),
        file(L"tool.exe", DEST_PROGRAM_FILES, noise(200, 10)),
    });
    Staged staged(installer, ARCH_X86);
    EXPECT_EQ(RESULT_OK, extractThenPlace(staged));
    EXPECT_FALSE(fs::exists(staged.slot(DEST_SYSNATIVE)));
    EXPECT_FALSE(fs::exists(staged.slot(DEST_PROGRAM_FILES_64)));
    EXPECT_EQ(noise(400, 8), readFile(staged.slot(DEST_SYSTEM32) / "ZelnIme.ime"));
    EXPECT_EQ(noise(200, 10), readFile(staged.slot(DEST_PROGRAM_FILES) / "tool.exe"));
    EXPECT_FALSE(fs::exists(staged.temp()));
    EXPECT_EQ(4u, staged.context.placedFiles.size());
    EXPECT_EQ(RESULT_OK, verifyFiles(staged.context));
}

TEST(Placement, SixtyFourBitEntryWithoutTwinKeepsTheTemporaryFolder) {
    const Installer installer = makeInstaller({file(L"only64.dll", DEST_SYSNATIVE, noise(50, 11))});
    Staged staged(installer, ARCH_X86);
    EXPECT_EQ(RESULT_OK, extractThenPlace(staged));
    EXPECT_EQ((std::set<std::string>{"only64.dll"}), filesBelow(staged.temp()));
}

TEST(Placement, FolderNamesWithDotsAreCreated) {
    const Installer installer = makeInstaller({file(L"v7.27\\data.bin", DEST_ROAMING, noise(64, 12))});
    Staged staged(installer);
    staged.context.directories[DEST_ROAMING] = staged.scratch.engine(L"Users\\first.last\\AppData\\Roaming");
    EXPECT_EQ(RESULT_OK, extractThenPlace(staged));
    EXPECT_EQ(noise(64, 12),
              readFile(staged.scratch.path() / "Users" / "first.last" / "AppData" / "Roaming" / "v7.27" / "data.bin"));
}

TEST(PlacementFailures, StoreMissingDirectoryEmptyOrShort) {
    const Installer installer = makeInstaller({file(L"a.txt", DEST_INSTALL, noise(100, 13))});
    Staged noStore(installer);
    EXPECT_EQ(ERR_OPEN, placeFiles(noStore.context, noStore.journal));

    Staged empty(installer);
    empty.context.trailer.directoryOffset = empty.context.trailer.unpackedSize;
    EXPECT_EQ(ERR_EMPTY_DIRECTORY, extractThenPlace(empty));
    EXPECT_FALSE(fs::exists(empty.temp()));

    // A directory offset beyond the package would wrap to a length near 4 GiB.
    Staged wrapped(installer);
    wrapped.context.trailer.directoryOffset = wrapped.context.trailer.unpackedSize + 1;
    EXPECT_EQ(ERR_EMPTY_DIRECTORY, extractThenPlace(wrapped));

    // A directory said to be far longer than the store holds is refused before anything is allocated.
    Staged tooLong(installer);
    tooLong.context.trailer.unpackedSize = 0xFFFFFF00;
    EXPECT_EQ(ERR_DIRECTORY_READ, extractThenPlace(tooLong));
    EXPECT_FALSE(fs::exists(tooLong.temp()));
}

TEST(PlacementFailures, DirectoryLengthNotAMultipleOfTheRecordIsRejected) {
    const Installer installer = makeInstaller({file(L"a.txt", DEST_INSTALL, noise(100, 14))});
    Staged staged(installer);
    staged.context.trailer.directoryOffset -= 10;  // 10 data bytes now count as directory
    EXPECT_EQ(ERR_DIRECTORY_READ, extractThenPlace(staged));
    EXPECT_FALSE(fs::exists(staged.slot(DEST_INSTALL) / "a.txt"));
    EXPECT_FALSE(fs::exists(staged.temp()));
}

using pkgtool::rawEntry;

TEST(PlacementFailures, UnsafeEntriesRefuseTheWholePackageBeforeAnyFileIsWritten) {
    PackageEntry unterminated = rawEntry(u"", DEST_INSTALL, 4);
    unterminated.name.fill(u'a');
    const std::vector<PackageEntry> unsafe = {
        unterminated,
        rawEntry(u"x.txt", 10, 4),
        rawEntry(u"x.txt", 0xFFFF, 4),
        rawEntry(u"", DEST_INSTALL, 4),
        rawEntry(u"\\x.txt", DEST_INSTALL, 4),
        rawEntry(u"C:\\x.txt", DEST_INSTALL, 4),
        rawEntry(u"C:x.txt", DEST_INSTALL, 4),
        rawEntry(u"a:stream", DEST_INSTALL, 4),
        rawEntry(u"a/x.txt", DEST_INSTALL, 4),
        rawEntry(u"..\\..\\x.txt", DEST_INSTALL, 4),
        rawEntry(u"a\\..\\x.txt", DEST_INSTALL, 4),
        rawEntry(u".\\x.txt", DEST_INSTALL, 4),
        rawEntry(u"a\\\\x.txt", DEST_INSTALL, 4),
        rawEntry(u"a\\", DEST_INSTALL, 4),
        rawEntry(u"...\\x.txt", DEST_INSTALL, 4),
        rawEntry(u"x.txt ", DEST_INSTALL, 4),
        rawEntry(u"x\ttab.txt", DEST_INSTALL, 4),
        rawEntry(std::u16string(u"x") + char16_t(0xD800) + u".txt", DEST_INSTALL, 4),
        rawEntry(u"sub\\INSTALLER.DAT", DEST_INSTALL, 4),
        rawEntry(u"con", DEST_INSTALL, 4),
        rawEntry(u"a\\NUL.txt", DEST_INSTALL, 4),
        rawEntry(u"Com7.log", DEST_INSTALL, 4),
    };
    for (std::size_t i = 0; i < unsafe.size(); ++i) {
        // A sound first entry, then the unsafe one: neither may be written.
        const std::vector<PackageEntry> entries = {rawEntry(u"first.txt", DEST_INSTALL, 4), unsafe[i]};
        const Installer installer = makeInstaller(entries, Bytes(8, 'x'));
        Staged staged(installer);
        EXPECT_EQ(ERR_DIRECTORY_READ, extractThenPlace(staged)) << "entry " << i;
        EXPECT_EQ(std::set<std::string>{"setup.exe"}, filesBelow(staged.scratch.path())) << "entry " << i;
        EXPECT_TRUE(staged.listener.progress.empty());
    }
}

TEST(PlacementFailures, NamesThatAreSafe) {
    for (const std::u16string& name : std::vector<std::u16string>{u"a.txt", u"console.txt", u"com10", u"lpt", u"nul_", u"dir.v2\\sub\\file", u"..x", u"x..y\\z", u"\u0645\u0646.ttf",
                                      std::u16string(u"emoji") + char16_t(0xD83D) + char16_t(0xDE00)}) {
        std::wstring path;
        EXPECT_TRUE(entryRelativePath(rawEntry(name, DEST_APPDATA, 0), path));
    }
}

// Each entry's data follow the previous entry's, so one size that does not fit the data area would misplace
// every later entry: the directory is refused before anything is written.
TEST(PlacementFailures, SizesThatDoNotAddUpToTheDataArea) {
    const Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(3000, 15)),
                                               file(L"b.bin", DEST_INSTALL, noise(3000, 16)),
                                               file(L"c.bin", DEST_INSTALL, noise(3000, 17))});
    // The first entry one byte short, the second one byte long (still inside the store), the last beyond it.
    const std::vector<std::pair<std::size_t, std::uint32_t>> damages = {{0, 2999}, {1, 3001}, {2, 0xFFFF}};
    for (const auto& [entry, size] : damages) {
        Staged staged(installer);
        staged.context.lastProgress = 5;
        ASSERT_EQ(RESULT_OK, extractPayload(staged.context));
        staged.context.lastProgress = 55;
        const fs::path store = staged.temp() / "installer.dat";
        Bytes bytes = readFile(store);
        const std::size_t at = 9000 + entry * ENTRY_SIZE + 540;
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[at + i] = static_cast<std::uint8_t>(size >> (8 * i));
        }
        writeFile(store, bytes);
        EXPECT_EQ(ERR_DIRECTORY_READ, placeFiles(staged.context, staged.journal)) << "entry " << entry;
        EXPECT_TRUE(fs::is_empty(staged.slot(DEST_INSTALL))) << "entry " << entry;
        EXPECT_FALSE(fs::exists(staged.temp())) << "entry " << entry;
    }
}

TEST(PlacementFailures, TemporaryFileThatCannotBeCreatedOrWritten) {
    const Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(9000, 17))});
    Staged blocked(installer);
    blocked.context.lastProgress = 5;
    ASSERT_EQ(RESULT_OK, extractPayload(blocked.context));
    fs::create_directory(blocked.temp() / "a.bin");  // a folder where the temporary file should go
    EXPECT_EQ(ERR_ENTRY_CREATE, placeFiles(blocked.context, blocked.journal));

    Staged full(installer);
    full.context.lastProgress = 5;
    ASSERT_EQ(RESULT_OK, extractPayload(full.context));
    {
        const WriteLimit limit(4096);
        EXPECT_EQ(ERR_WRITE, placeFiles(full.context, full.journal));
    }
    EXPECT_FALSE(fs::exists(full.temp()));
}

TEST(PlacementFailures, PathsThatDoNotFitAreRefusedNotCut) {
    const std::wstring longName = std::wstring(120, L'n') + L"\\" + std::wstring(120, L'm') + L".txt";
    const Installer installer = makeInstaller({file(longName, DEST_FONTS, noise(10, 18))});
    Staged staged(installer);
    staged.context.directories[DEST_FONTS] = staged.scratch.engine(std::wstring(10, L'f'));
    EXPECT_EQ(ERR_CREATE_DIRECTORY, extractThenPlace(staged));
    EXPECT_FALSE(fs::exists(staged.temp()));
    EXPECT_FALSE(fs::exists(staged.slot(DEST_FONTS)));

    const Installer longBase = makeInstaller({file(std::wstring(240, L'b'), DEST_FONTS, noise(10, 19))});
    Staged second(longBase);
    EXPECT_EQ(ERR_ENTRY_CREATE, extractThenPlace(second));
}

TEST(PlacementFailures, EmptySlotOrAFileWhereAFolderShouldBe) {
    const Installer installer = makeInstaller({file(L"ZelnIme.ime", DEST_SYSTEM32, noise(10, 20))});
    Staged unsupported(installer);
    unsupported.context.directories[DEST_SYSTEM32].clear();
    EXPECT_EQ(ERR_CREATE_DIRECTORY, extractThenPlace(unsupported));
    EXPECT_FALSE(fs::exists(unsupported.temp()));

    const Installer nested = makeInstaller({file(L"sub\\x.txt", DEST_FONTS, noise(10, 21))});
    Staged blocked(nested);
    fs::create_directories(blocked.slot(DEST_FONTS));
    writeFile(blocked.slot(DEST_FONTS) / "sub", {1});
    // The name exists, so no folder is made; the file cannot be moved into place, and placement says so rather
    // than leave it to a verification that per-user files or an entry without digest would pass.
    EXPECT_EQ(ERR_WRITE, extractThenPlace(blocked));
    EXPECT_FALSE(fs::exists(blocked.temp()));
    EXPECT_EQ((Bytes{1}), readFile(blocked.slot(DEST_FONTS) / "sub"));
}

TEST(Verification, MissingChangedAndUnreadableFiles) {
    const Installer installer = makeInstaller({
        file(L"checked.bin", DEST_FONTS, noise(100, 22), true),
        file(L"plain.bin", DEST_INSTALL, noise(100, 23)),
        file(L"user.bin", DEST_LOCAL, noise(100, 24), true),
    });
    Staged staged(installer);
    ASSERT_EQ(RESULT_OK, extractThenPlace(staged));
    ASSERT_EQ(RESULT_OK, verifyFiles(staged.context));

    writeFile(staged.slot(DEST_FONTS) / "checked.bin", noise(100, 99));
    EXPECT_EQ(ERR_MD5_MISMATCH, verifyFiles(staged.context));
    writeFile(staged.slot(DEST_FONTS) / "checked.bin", noise(100, 22));

    fs::remove(staged.slot(DEST_INSTALL) / "plain.bin");
    EXPECT_EQ(ERR_MISSING_FILE, verifyFiles(staged.context));
    writeFile(staged.slot(DEST_INSTALL) / "plain.bin", {});
    EXPECT_EQ(RESULT_OK, verifyFiles(staged.context));

    // Files of the per-user folders are not looked for, but a digest asked for needs the file.
    fs::remove(staged.slot(DEST_LOCAL) / "user.bin");
    EXPECT_EQ(ERR_VERIFY_OPEN, verifyFiles(staged.context));
}

TEST(Verification, PlacedFileListHoldsOneSlotPerEntry) {
    InstallerContext context;
    context.entryCount = 2;
    recordPlacedFile(context, L"a", DEST_FONTS, Placement::Placed);
    recordPlacedFile(context, L"b", DEST_INSTALL, Placement::Placed);
    recordPlacedFile(context, L"c", DEST_INSTALL, Placement::Placed);
    ASSERT_EQ(2u, context.placedFiles.size());
    EXPECT_EQ(L"b", context.placedFiles[1].path);
}

}  // namespace
