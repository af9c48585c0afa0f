// The record of every change an install makes to the machine. Each change is written down, with what was
// there before, and flushed to the disk before it is made, so that an install that does not complete (a step
// fails, the user closes the wizard, the process is killed, the power goes) is undone to exactly the state it
// found: by the run itself, or by the next run, which finds the journal left behind.
//
// The engine journals the files itself: a file taken out is set aside in its own folder (where a rename works
// even while a program has it loaded) and deleted only when the install has succeeded; a file placed is
// removed again; folders made and removed are removed and made again; a replacement left to the restart
// takes its new file away. The system layer journals its own changes (registry keys and values, the text
// service, keyboard layouts) as records of kinds it names, and undoes them when the journal asks.
//
// The journal file, UTF-8 text, one record a line:
//
//     install journal 1                          first line
//     KIND <TAB> FIELD <TAB> FIELD ...           one change, written before it is made
//
// In a kind or field '%', tab, carriage return and line feed stand as "%25", "%09", "%0D" and "%0A". A last
// line without its line feed was cut short with the run that wrote it: the change it announced was never
// made, and it is ignored.
//
// Each record reaches the system before its change is made, so a process that is killed leaves every record
// of the changes it made. The system writes them to the disk at each step of the install (keep()) and before
// the commit begins: a power failure can lose at most the records of the step it interrupts, whose changes the
// system had not necessarily written either.
#pragma once

#include "engine/InstallLog.h"
#include "platform/DirectoryWalk.h"
#include "platform/Files.h"

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace platform {
class SystemFacts;
}

struct JournalRecord {
    std::wstring kind;
    std::vector<std::wstring> fields;

    bool operator==(const JournalRecord& other) const { return kind == other.kind && fields == other.fields; }
};

// One record as its line in the journal file (without the line feed), and back; false for a line that is not a
// record.
std::string encodeJournalRecord(const JournalRecord& record);
bool decodeJournalRecord(const std::string& line, JournalRecord& record);

// Fields that hold a number in decimal (at most nine digits) or bytes in lower-case hexadecimal, as the engine
// and the system layer write them; the readers are false for a field that holds no such thing.
bool decimalField(const std::wstring& field, std::uint32_t& number);
std::wstring hexField(const std::vector<std::uint8_t>& bytes);
bool bytesOfHexField(const std::wstring& field, std::vector<std::uint8_t>& bytes);

// Where a step writes a change down before making it.
class ChangeRecorder {
public:
    // False when the record cannot be written down; the change must not be made then.
    virtual bool record(const JournalRecord& record) = 0;

protected:
    ~ChangeRecorder() = default;
};

// Undoes the records of the system layer.
class SystemUndo {
public:
    // Restores what the record saved; false when it could not be restored (the log then says what).
    virtual bool undoChange(const JournalRecord& record, InstallLog& log) = 0;

protected:
    ~SystemUndo() = default;
};

// The path by which the system's 64-bit start-up knows a file: under WoW64 this process's System32 is
// SysWOW64 and its Sysnative is System32; elsewhere the path itself.
std::wstring pathAtRestart(const std::wstring& path, const platform::SystemFacts& facts);

class ChangeJournal final : public ChangeRecorder {
public:
    ChangeJournal(platform::DirectoryWalk& files, const platform::SystemFacts& facts, InstallLog& log);
    ~ChangeJournal();
    ChangeJournal(const ChangeJournal&) = delete;
    ChangeJournal& operator=(const ChangeJournal&) = delete;

    // Reads the journal that a run which never finished left at path; false when there is none. undo() then
    // undoes that run's changes, those it had not undone itself yet, or, when that run had begun to commit,
    // commit() finishes the commit.
    bool resume(const std::wstring& path);
    // True for a resumed journal whose run had succeeded and begun to commit.
    bool committed() const;
    // Starts a new journal at path, making the folders above it (which go again with the journal when they are
    // empty then); false when it cannot be written, and then nothing may be changed.
    bool begin(const std::wstring& path);

    // Writes the record down before the change it describes; false when it cannot be, and then the change
    // must not be made.
    bool record(const JournalRecord& record) override;
    // Has the system write what is written down to the disk, when something was written since the last time;
    // false when it cannot.
    bool keep();
    // True once a change has been written down.
    bool hasChanges() const;

    // Renames the file to the first free name "%s.%u.old" in its folder; false when it cannot be moved
    // (another program holds it open without delete sharing) or not written down.
    bool setAside(const std::wstring& path);
    // Moves a new file to a destination where nothing is; false when it cannot.
    bool placeFile(const std::wstring& from, const std::wstring& to);
    // For a destination that can be neither replaced nor set aside: moves the new file beside it under the
    // first free name "%s.%u.new" and has the restart move it over the destination. The name it waits under;
    // empty when it cannot.
    std::wstring placeAtRestart(const std::wstring& from, const std::wstring& to);
    // Makes every missing folder above the path's last component; false when one cannot be made.
    bool ensureDirectories(const std::wstring& path);
    // The files as the removal steps see them through the journal: a file deleted is set aside, a folder made
    // or removed is written down, deletions left to the restart are asked for when the install succeeds, and
    // what was set aside is not listed.
    platform::DirectoryWalk& files();

    // The install completed: deletes what was set aside (what is in use, at the next restart), the folders the
    // removals emptied, then the journal and its folders. True when files wait for the restart to replace
    // theirs.
    bool commit();
    // The install did not complete, or an earlier run's did not: undoes every change, the last first, then
    // deletes the journal and its folders. False when something could not be restored (the log says what).
    bool undo(SystemUndo& system);

private:
    class JournaledFiles;

    // Writes a record without keeping it among the changes.
    bool write(const JournalRecord& record);
    bool undoFileChange(const JournalRecord& record);
    bool putBack(const std::wstring& path, const std::wstring& asidePath);
    bool takeAway(const std::wstring& path);
    bool deleteOrLeaveToRestart(const std::wstring& path);
    std::wstring freeName(const std::wstring& path, const wchar_t* suffix) const;
    void finish();

    platform::DirectoryWalk& files_;
    const platform::SystemFacts& facts_;
    InstallLog& log_;
    std::unique_ptr<JournaledFiles> journaledFiles_;
    std::wstring path_;
    platform::File file_;
    std::vector<JournalRecord> records_;
    // Whether records were written since the journal last reached the disk.
    bool unkept_ = false;
    std::set<std::wstring> asidePaths_;
    // Of a resumed journal: the changes its run already undid, and whether its run had begun to commit.
    std::set<std::size_t> undone_;
    bool committed_ = false;
};
