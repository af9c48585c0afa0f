// The change journal over a fake file tree: what taking a file out leaves until the install succeeds, what
// success and undo each leave, a journal that a run cut short leaves for the next one, and the lines of the
// journal file.
#include "engine/ChangeJournal.h"

#include "tests/unit/engine/JournalFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

using namespace enginetest;

// Undoes the records of the system layer by keeping them, the last first.
struct KeptSystemRecords final : SystemUndo {
    bool undoChange(const JournalRecord& record, InstallLog&) override {
        undone.push_back(record);
        return restores;
    }
    bool restores = true;
    std::vector<JournalRecord> undone;
};

// Every state a file can be found in when it is taken out: not in use, loaded by a program (under a name an
// earlier run's file already has set aside), held open, or missing. Until the install succeeds all of them
// stay on the disk; then what can be deleted is, and the rest is left to the restart by the names the system's
// start-up knows them by.
TEST(ChangeJournal, SetsFilesAsideUntilSuccessThenDeletesThemOrLeavesThemToTheRestart) {
    JournalOverFakes run;
    platform::FakeDirectoryWalk& files = run.files;
    files.addFile(kFakeSystem32 + L"free.ime");
    files.addFile(kFakeSystem32 + L"loaded.ime");
    files.addFile(kFakeSystem32 + L"loaded.ime.1.old");
    files.addFile(kFakeSysnative + L"loaded.ime");
    files.addFile(kFakeSystem32 + L"held.ime");
    files.mapped = {kFakeSystem32 + L"loaded.ime", kFakeSysnative + L"loaded.ime"};
    files.locked.insert(kFakeSystem32 + L"held.ime");

    platform::DirectoryWalk& journaled = run.journal.files();
    EXPECT_TRUE(journaled.deleteFile(kFakeSystem32 + L"free.ime"));
    EXPECT_TRUE(journaled.deleteFile(kFakeSystem32 + L"loaded.ime"));
    EXPECT_TRUE(journaled.deleteFile(kFakeSysnative + L"loaded.ime"));
    EXPECT_FALSE(journaled.deleteFile(kFakeSystem32 + L"held.ime"));
    EXPECT_FALSE(journaled.deleteFile(kFakeSystem32 + L"missing.ime"));
    EXPECT_TRUE(run.journal.hasChanges());

    // Set aside, and not listed or found under either name by the steps that follow.
    for (const auto* name : {L"free.ime.1.old", L"loaded.ime.2.old"}) {
        EXPECT_TRUE(files.exists(kFakeSystem32 + name)) << name;
        EXPECT_FALSE(journaled.exists(kFakeSystem32 + name)) << name;
    }
    std::vector<std::wstring> listed;
    const auto entries = journaled.entries(L"C:\\Windows\\System32");
    for (const auto& entry : *entries) listed.push_back(entry.name);
    EXPECT_EQ((std::vector<std::wstring>{L".", L"..", L"held.ime", L"loaded.ime.1.old"}), listed);
    EXPECT_TRUE(files.restartDeletions.empty());

    EXPECT_FALSE(run.journal.commit());
    EXPECT_EQ((std::vector<std::wstring>{L"C:", kFakeWindows, L"C:\\Windows\\Sysnative",
                                         kFakeSysnative + L"loaded.ime.1.old", L"C:\\Windows\\System32",
                                         kFakeSystem32 + L"held.ime", kFakeSystem32 + L"loaded.ime.1.old",
                                         kFakeSystem32 + L"loaded.ime.2.old"}),
              run.tree());
    // The loaded files stay loaded under their new names until the programs end.
    EXPECT_EQ((std::set<std::wstring>{kFakeSystem32 + L"loaded.ime.2.old", kFakeSysnative + L"loaded.ime.1.old"}),
              files.mapped);
    EXPECT_EQ((std::vector<std::wstring>{kFakeSysWow64 + L"\\loaded.ime.2.old", kFakeSystem32 + L"loaded.ime.1.old"}),
              files.restartDeletions);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Cannot be set aside: C:\\Windows\\System32\\held.ime",
                  L"In use: C:\\Windows\\System32\\loaded.ime.2.old is deleted at restart, as "
                  L"C:\\Windows\\SysWOW64\\loaded.ime.2.old",
                  L"In use: C:\\Windows\\Sysnative\\loaded.ime.1.old is deleted at restart, as "
                  L"C:\\Windows\\System32\\loaded.ime.1.old"}),
              run.logLines());
    EXPECT_FALSE(platform::pathExists(run.journalPath()));
    EXPECT_FALSE(platform::pathExists(run.scratch.engine(L"tmp")));
}

// A restart that cannot be asked to delete a file in use is said so, not claimed.
TEST(ChangeJournal, SaysWhenADeletionCannotBeLeftToTheRestart) {
    struct RefusingRestart final : platform::FakeDirectoryWalk {
        bool deleteAtRestart(const std::wstring&) override { return false; }
    };
    RefusingRestart files;
    platform::GivenSystemFacts facts;
    ScratchDir scratch;
    InstallLog log;
    log.setLogPath(scratch.engine(L"ins.log"));
    ChangeJournal journal(files, facts, log);
    ASSERT_TRUE(journal.begin(scratch.engine(L"install.journal")));
    files.addFile(L"C:\\App\\loaded.dll");
    files.mapped.insert(L"C:\\App\\loaded.dll");
    ASSERT_TRUE(journal.files().deleteFile(L"C:\\App\\loaded.dll"));
    ASSERT_TRUE(journal.files().deleteAtRestart(L"C:\\App\\other.dll"));
    journal.commit();
    const Bytes bytes = readFile(nativePath(scratch.engine(L"ins.log")));
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, text.find("In use: C:\\App\\loaded.dll.1.old could not be scheduled for deletion"));
    EXPECT_NE(std::string::npos, text.find("Could not be scheduled for deletion at restart: C:\\App\\other.dll"));
    EXPECT_EQ(std::string::npos, text.find("is deleted at restart"));
}

// Every kind of file change, then undo: the tree is as it was, the system's records were handed back the
// last first, and the log says what was put back.
TEST(ChangeJournal, UndoPutsBackEveryChangeTheLastFirst) {
    JournalOverFakes run;
    platform::FakeDirectoryWalk& files = run.files;
    files.addFile(L"C:\\App\\old.dll");
    files.addFile(L"C:\\App\\loaded.dll");
    files.addFile(L"C:\\App\\held.dat");
    files.addFile(L"C:\\App\\Sub\\gone.txt");
    files.addFile(L"C:\\Temp\\new.dll");
    files.addFile(L"C:\\Temp\\held.dat");
    files.addFile(L"C:\\Temp\\fresh.txt");
    files.mapped.insert(L"C:\\App\\loaded.dll");
    files.locked.insert(L"C:\\App\\held.dat");
    const std::vector<std::wstring> before = run.tree();

    platform::DirectoryWalk& journaled = run.journal.files();
    ASSERT_TRUE(run.journal.record({L"reg-value", {L"first"}}));
    ASSERT_TRUE(journaled.deleteFile(L"C:\\App\\Sub\\gone.txt"));
    EXPECT_FALSE(journaled.removeDirectory(L"C:\\App\\Sub"));  // what was set aside is still in it
    ASSERT_TRUE(journaled.deleteFile(L"C:\\App\\loaded.dll"));
    ASSERT_TRUE(run.journal.setAside(L"C:\\App\\old.dll"));
    ASSERT_TRUE(run.journal.placeFile(L"C:\\Temp\\new.dll", L"C:\\App\\old.dll"));
    ASSERT_TRUE(run.journal.ensureDirectories(L"C:\\App\\New\\Deeper\\fresh.txt"));
    ASSERT_TRUE(run.journal.placeFile(L"C:\\Temp\\fresh.txt", L"C:\\App\\New\\Deeper\\fresh.txt"));
    EXPECT_FALSE(run.journal.setAside(L"C:\\App\\held.dat"));
    EXPECT_EQ(L"C:\\App\\held.dat.1.new", run.journal.placeAtRestart(L"C:\\Temp\\held.dat", L"C:\\App\\held.dat"));
    ASSERT_TRUE(run.journal.record({L"layout-loaded", {L"E0210850"}}));
    EXPECT_EQ((std::vector<std::pair<std::wstring, std::wstring>>{{L"C:\\App\\held.dat.1.new", L"C:\\App\\held.dat"}}),
              files.restartReplacements);
    // A program loads the new file before the install is undone: it goes at the restart.
    files.mapped.insert(L"C:\\App\\old.dll");

    KeptSystemRecords system;
    EXPECT_TRUE(run.journal.undo(system));

    std::vector<std::wstring> expected = before;
    for (const auto* gone : {L"C:\\Temp\\new.dll", L"C:\\Temp\\held.dat", L"C:\\Temp\\fresh.txt"}) {
        expected.erase(std::find(expected.begin(), expected.end(), gone));
    }
    expected.insert(std::find(expected.begin(), expected.end(), L"C:\\App\\old.dll") + 1, L"C:\\App\\old.dll.2.old");
    EXPECT_EQ(expected, run.tree());
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\App\\old.dll.2.old"}), files.restartDeletions);
    EXPECT_EQ((std::set<std::wstring>{L"C:\\App\\loaded.dll", L"C:\\App\\old.dll.2.old"}), files.mapped);
    EXPECT_EQ((std::vector<JournalRecord>{{L"layout-loaded", {L"E0210850"}}, {L"reg-value", {L"first"}}}),
              system.undone);
    EXPECT_EQ((std::vector<std::wstring>{
                  L"Cannot be set aside: C:\\App\\held.dat",
                  L"In use: C:\\App\\old.dll.2.old is deleted at restart, as C:\\App\\old.dll.2.old",
                  L"Put back: C:\\App\\old.dll", L"Put back: C:\\App\\loaded.dll", L"Put back: C:\\App\\Sub\\gone.txt",
                  L"Undone: 12 changes, every one restored."}),
              run.logLines());
    EXPECT_FALSE(platform::pathExists(run.journalPath()));
}

// The process ends in the middle of an install (killed, or the power goes): the next run reads what the
// journal file holds, a last line cut short included, and undoes it; a change announced but never made is
// passed over, and what the system layer cannot restore is counted.
TEST(ChangeJournal, TheNextRunUndoesAJournalThatWasCutShort) {
    JournalOverFakes run;
    platform::FakeDirectoryWalk& files = run.files;
    files.addFile(L"C:\\App\\a.dll");
    files.addFile(L"C:\\App\\b.dll");
    files.addFile(L"C:\\Temp\\a.dll");
    ASSERT_TRUE(run.journal.setAside(L"C:\\App\\a.dll"));
    ASSERT_TRUE(run.journal.placeFile(L"C:\\Temp\\a.dll", L"C:\\App\\a.dll"));
    ASSERT_TRUE(run.journal.record({L"reg-value", {L"HKLM", L"64", L"Software\\Tab\there", L"x"}}));
    // Written down, then the process ended before the rename.
    ASSERT_TRUE(run.journal.record({L"aside", {L"C:\\App\\b.dll", L"C:\\App\\b.dll.1.old"}}));
    {
        std::ofstream torn(nativePath(run.journalPath()), std::ios::binary | std::ios::app);
        torn << "aside\tC:\\\\App\\\\c.dll";
    }

    ChangeJournal next(files, run.facts, run.log);
    ASSERT_TRUE(next.resume(run.journalPath()));
    KeptSystemRecords system;
    system.restores = false;
    EXPECT_FALSE(next.undo(system));

    EXPECT_EQ((std::vector<std::wstring>{L"C:", L"C:\\App", L"C:\\App\\a.dll", L"C:\\App\\b.dll", L"C:\\Temp"}),
              run.tree());
    EXPECT_EQ((std::vector<JournalRecord>{{L"reg-value", {L"HKLM", L"64", L"Software\\Tab\there", L"x"}}}),
              system.undone);
    EXPECT_EQ(L"Undone: 4 changes, 1 of them could not be restored.", run.logLines().back());
    EXPECT_FALSE(platform::pathExists(run.journalPath()));
    EXPECT_FALSE(next.resume(run.journalPath()));
}

TEST(ChangeJournal, IgnoresAFileThatIsNoJournalAndRefusesToBeginWhereItCannotWrite) {
    ScratchDir scratch;
    writeFile(nativePath(scratch.engine(L"install.journal")), {'x', '\n'});
    platform::FakeDirectoryWalk files;
    platform::GivenSystemFacts facts;
    InstallLog log;
    ChangeJournal journal(files, facts, log);
    EXPECT_FALSE(journal.resume(scratch.engine(L"install.journal")));
    EXPECT_FALSE(journal.begin(scratch.engine(L"install.journal\\below")));
    EXPECT_FALSE(journal.record({L"placed", {L"C:\\x"}}));
    EXPECT_FALSE(journal.setAside(L"C:\\x"));
}

TEST(ChangeJournal, RecordsRoundTripThroughTheirLinesWhateverTheyHold) {
    const JournalRecord record{L"reg-value", {L"", L"100%\ttab\r\nline", L"\u1820\u1822 \u4E2D", L"\\\\?\\C:"}};
    const std::string line = encodeJournalRecord(record);
    EXPECT_EQ(4, std::count(line.begin(), line.end(), '\t'));
    EXPECT_EQ(std::string::npos, line.find_first_of("\r\n"));
    EXPECT_NE(std::string::npos, line.find("100%25%09tab%0D%0Aline"));
    JournalRecord decoded;
    ASSERT_TRUE(decodeJournalRecord(line, decoded));
    EXPECT_EQ(record, decoded);
    for (const char* broken : {"", "\tfield", "kind\t%", "kind\t%4", "kind\t%zz"}) {
        EXPECT_FALSE(decodeJournalRecord(broken, decoded)) << broken;
    }
}

// The restart's own start-up sees no WoW64 redirection: this process's System32 is SysWOW64 to it, and its
// Sysnative is System32. A 64-bit process, or one on 32-bit Windows, sees the folders as they are.
TEST(ChangeJournal, NamesFilesForTheRestartByTheirRealPaths) {
    platform::GivenSystemFacts wow64;
    wow64.windowsDir = kFakeWindows;
    wow64.wow64SystemDir = kFakeSysWow64;
    platform::GivenSystemFacts native;
    native.windowsDir = kFakeWindows;
    EXPECT_EQ(kFakeSysWow64 + L"\\x.1.old", pathAtRestart(L"c:\\windows\\SYSTEM32\\x.1.old", wow64));
    EXPECT_EQ(kFakeSystem32 + L"x.1.old", pathAtRestart(kFakeSysnative + L"x.1.old", wow64));
    EXPECT_EQ(L"C:\\Program Files\\x.1.old", pathAtRestart(L"C:\\Program Files\\x.1.old", wow64));
    EXPECT_EQ(kFakeSystem32 + L"x.1.old", pathAtRestart(kFakeSystem32 + L"x.1.old", native));
    EXPECT_EQ(kFakeSysnative + L"x.1.old", pathAtRestart(kFakeSysnative + L"x.1.old", native));
}

}  // namespace
