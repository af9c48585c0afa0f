#include "engine/ChangeJournal.h"

#include "engine/InstallerContext.h"
#include "platform/SystemFacts.h"
#include "platform/TextCompare.h"

#include <algorithm>

namespace {

constexpr char kHeader[] = "install journal 1";

// Earlier runs' files that wait for a restart keep their names; this many are looked past at most.
constexpr unsigned kMaxFreeNames = 1000;

// The kinds of record the engine writes and undoes itself; every other kind is the system layer's.
constexpr wchar_t kJournalFolder[] = L"journal-folder";  // a folder made to hold the journal
constexpr wchar_t kSetAside[] = L"aside";                // PATH ASIDE: a file renamed out of the way
constexpr wchar_t kPlaced[] = L"placed";                 // PATH: a new file moved where nothing was
constexpr wchar_t kPending[] = L"pending";               // PATH WAITING: a new file that replaces PATH at restart
constexpr wchar_t kMadeFolder[] = L"mkdir";              // PATH
constexpr wchar_t kRemovedFolder[] = L"rmdir";           // PATH
constexpr wchar_t kMoved[] = L"moved";                   // FROM TO
constexpr wchar_t kDeleteAtRestart[] = L"delete-at-restart";  // PATH: asked of the restart once the install succeeds
// The journal's own progress: the install succeeded and its commit began; a record's change was undone.
constexpr wchar_t kCommitted[] = L"committed";
constexpr wchar_t kUndone[] = L"undone";  // INDEX: of the record, counted from 0 among the change records

bool isEngineKind(const std::wstring& kind) {
    for (const wchar_t* engineKind :
         {kJournalFolder, kSetAside, kPlaced, kPending, kMadeFolder, kRemovedFolder, kMoved, kDeleteAtRestart}) {
        if (kind == engineKind) return true;
    }
    return false;
}

// The fields a record of an engine kind must have before anything acts on it.
std::size_t fieldCount(const std::wstring& kind) {
    return kind == kSetAside || kind == kPending || kind == kMoved ? 2 : 1;
}

bool isEscaped(char c) { return c == '%' || c == '\t' || c == '\r' || c == '\n'; }

void appendEscaped(std::string& line, const std::wstring& text) {
    static const char kHex[] = "0123456789ABCDEF";
    for (const char c : platform::utf8(text)) {
        if (!isEscaped(c)) {
            line += c;
            continue;
        }
        line += '%';
        line += kHex[static_cast<unsigned char>(c) >> 4];
        line += kHex[static_cast<unsigned char>(c) & 0xF];
    }
}

// The value of a hexadecimal digit of the given case ('A' or 'a'); -1 for anything else.
int hexDigit(wchar_t c, wchar_t ten) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= ten && c < ten + 6) return c - ten + 10;
    return -1;
}

bool unescape(const std::string& text, std::wstring& out) {
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            bytes += text[at];
            continue;
        }
        if (at + 2 >= text.size()) return false;
        const int high = hexDigit(static_cast<unsigned char>(text[at + 1]), L'A');
        const int low = hexDigit(static_cast<unsigned char>(text[at + 2]), L'A');
        if (high < 0 || low < 0) return false;
        bytes += static_cast<char>(high * 16 + low);
        at += 2;
    }
    out = platform::fromUtf8(bytes);
    return true;
}

}  // namespace

bool decimalField(const std::wstring& field, std::uint32_t& number) {
    if (field.empty() || field.size() > 9) return false;
    number = 0;
    for (const wchar_t digit : field) {
        if (digit < L'0' || digit > L'9') return false;
        number = number * 10 + static_cast<std::uint32_t>(digit - L'0');
    }
    return true;
}

std::wstring hexField(const std::vector<std::uint8_t>& bytes) {
    static const wchar_t kHex[] = L"0123456789abcdef";
    std::wstring field;
    for (const std::uint8_t byte : bytes) {
        field += kHex[byte >> 4];
        field += kHex[byte & 0xF];
    }
    return field;
}

bool bytesOfHexField(const std::wstring& field, std::vector<std::uint8_t>& bytes) {
    if (field.size() % 2 != 0) return false;
    bytes.clear();
    for (std::size_t at = 0; at < field.size(); at += 2) {
        const int high = hexDigit(field[at], L'a');
        const int low = hexDigit(field[at + 1], L'a');
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return true;
}

std::string encodeJournalRecord(const JournalRecord& record) {
    std::string line;
    appendEscaped(line, record.kind);
    for (const std::wstring& field : record.fields) {
        line += '\t';
        appendEscaped(line, field);
    }
    return line;
}

bool decodeJournalRecord(const std::string& line, JournalRecord& record) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = line.find('\t', start);
        std::wstring part;
        if (!unescape(line.substr(start, end == std::string::npos ? std::string::npos : end - start), part)) {
            return false;
        }
        parts.push_back(part);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    if (parts.front().empty()) return false;
    record.kind = parts.front();
    record.fields.assign(parts.begin() + 1, parts.end());
    return true;
}

std::wstring pathAtRestart(const std::wstring& path, const platform::SystemFacts& facts) {
    const std::wstring wow64 = facts.wow64SystemDirectory();
    if (wow64.empty()) return path;
    const std::wstring windows = facts.windowsDirectory();
    const std::wstring system32 = windows + L"\\System32\\";
    const std::wstring sysnative = windows + L"\\Sysnative\\";
    if (platform::startsWithIgnoringAsciiCase(path, system32)) return wow64 + L"\\" + path.substr(system32.size());
    if (platform::startsWithIgnoringAsciiCase(path, sysnative)) return system32 + path.substr(sysnative.size());
    return path;
}

// The files as the removal steps change them: every change goes through the journal first.
class ChangeJournal::JournaledFiles final : public platform::DirectoryWalk {
public:
    explicit JournaledFiles(ChangeJournal& journal) : journal_(journal), files_(journal.files_) {}

    std::optional<std::vector<platform::DirectoryEntry>> entries(const std::wstring& folder) override {
        auto list = files_.entries(folder);
        if (list) {
            list->erase(std::remove_if(list->begin(), list->end(),
                                       [&](const platform::DirectoryEntry& entry) {
                                           return journal_.asidePaths_.count(folder + L"\\" + entry.name) != 0;
                                       }),
                        list->end());
        }
        return list;
    }
    bool exists(const std::wstring& path) override {
        return journal_.asidePaths_.count(path) == 0 && files_.exists(path);
    }
    bool isDirectory(const std::wstring& path) override { return files_.isDirectory(path); }
    // A file deleted is only set aside until the install has succeeded.
    bool deleteFile(const std::wstring& path) override {
        if (!exists(path) || files_.isDirectory(path)) return files_.deleteFile(path);
        return journal_.setAside(path);
    }
    bool moveFile(const std::wstring& from, const std::wstring& to) override {
        return journal_.record({kMoved, {from, to}}) && files_.moveFile(from, to);
    }
    bool replaceFile(const std::wstring& from, const std::wstring& to) override {
        return (!files_.exists(to) || journal_.setAside(to)) && journal_.placeFile(from, to);
    }
    // Asked of the restart only once the install has succeeded.
    bool deleteAtRestart(const std::wstring& path) override { return journal_.record({kDeleteAtRestart, {path}}); }
    bool replaceAtRestart(const std::wstring& from, const std::wstring& to) override {
        return journal_.record({kPending, {to, from}}) &&
               files_.replaceAtRestart(pathAtRestart(from, journal_.facts_), pathAtRestart(to, journal_.facts_));
    }
    bool createDirectory(const std::wstring& path) override {
        return journal_.record({kMadeFolder, {path}}) && files_.createDirectory(path);
    }
    // A folder that still holds files set aside stays until they are deleted; the journal removes it then.
    bool removeDirectory(const std::wstring& path) override {
        if (!files_.isDirectory(path)) return files_.removeDirectory(path);
        return journal_.record({kRemovedFolder, {path}}) && files_.removeDirectory(path);
    }

private:
    ChangeJournal& journal_;
    platform::DirectoryWalk& files_;
};

ChangeJournal::ChangeJournal(platform::DirectoryWalk& files, const platform::SystemFacts& facts, InstallLog& log)
    : files_(files), facts_(facts), log_(log), journaledFiles_(std::make_unique<JournaledFiles>(*this)) {}

ChangeJournal::~ChangeJournal() = default;

bool ChangeJournal::resume(const std::wstring& path) {
    platform::File file(path, platform::FileMode::Read);
    if (!file.isOpen()) return false;
    std::string text;
    char buffer[4096];
    for (std::size_t read; (read = file.read(buffer, sizeof buffer)) > 0;) text.append(buffer, read);
    file.close();
    path_ = path;
    records_.clear();
    std::size_t start = text.find('\n');
    if (text.compare(0, start, kHeader) != 0) {
        // Not a journal this installer wrote: nothing in it is acted on.
        log_.writeLogLine(L"Journal not understood, left as it is: %s", {path});
        path_.clear();
        return false;
    }
    // Only lines that end in a line feed were written whole.
    for (++start; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string::npos) break;
        JournalRecord record;
        std::uint32_t index = 0;
        const bool understood = decodeJournalRecord(text.substr(start, end - start), record);
        if (understood && record.kind == kCommitted) {
            committed_ = true;
        } else if (understood && record.kind == kUndone && record.fields.size() == 1 &&
                   decimalField(record.fields[0], index)) {
            undone_.insert(index);
        } else if (understood && (!isEngineKind(record.kind) || record.fields.size() >= fieldCount(record.kind))) {
            records_.push_back(record);
        } else {
            log_.writeLogLine(L"Journal line not understood: %d", {static_cast<long long>(records_.size() + 1)});
        }
        start = end + 1;
    }
    for (const JournalRecord& record : records_) {
        if (record.kind == kSetAside) asidePaths_.insert(record.fields[1]);
    }
    // The run that resumes goes on writing to the same journal: its undo's progress, or its commit.
    file_ = platform::File(path, platform::FileMode::Append);
    return true;
}

bool ChangeJournal::committed() const { return committed_; }

bool ChangeJournal::begin(const std::wstring& path) {
    // The journal's own file and folders are the installer's, not changes to the machine: made and removed
    // directly.
    std::vector<std::wstring> made;
    const bool folders = makeMissingFolders(path, platform::pathExists, [&](const std::wstring& folder) {
        if (!platform::createDirectory(folder)) return false;
        made.push_back(folder);
        return true;
    });
    if (folders) file_ = platform::File(path, platform::FileMode::Write);
    const std::string header = std::string(kHeader) + "\n";
    if (!folders || !file_.isOpen() || file_.write(header.data(), header.size()) != header.size() ||
        !file_.flushToDisk()) {
        file_.close();
        platform::deleteFile(path);
        for (auto folder = made.rbegin(); folder != made.rend(); ++folder) platform::removeDirectory(*folder);
        return false;
    }
    path_ = path;
    records_.clear();
    asidePaths_.clear();
    undone_.clear();
    committed_ = false;
    for (const std::wstring& folder : made) record({kJournalFolder, {folder}});
    return true;
}

bool ChangeJournal::record(const JournalRecord& record) {
    if (!write(record)) return false;
    records_.push_back(record);
    return true;
}

bool ChangeJournal::write(const JournalRecord& record) {
    const std::string line = encodeJournalRecord(record) + "\n";
    if (!file_.isOpen() || file_.write(line.data(), line.size()) != line.size() || !file_.flush()) {
        log_.writeLogLine(L"Journal cannot be written: %s", {path_});
        return false;
    }
    unkept_ = true;
    return true;
}

bool ChangeJournal::keep() {
    if (!unkept_) return true;
    if (file_.flushToDisk()) {
        unkept_ = false;
        return true;
    }
    log_.writeLogLine(L"Journal cannot be written: %s", {path_});
    return false;
}

bool ChangeJournal::hasChanges() const {
    return std::any_of(records_.begin(), records_.end(),
                       [](const JournalRecord& record) { return record.kind != kJournalFolder; });
}

std::wstring ChangeJournal::freeName(const std::wstring& path, const wchar_t* suffix) const {
    for (unsigned number = 1; number <= kMaxFreeNames; ++number) {
        const std::wstring name = path + L"." + std::to_wstring(number) + L"." + suffix;
        if (!fitsPathBuffer(name)) break;
        if (!files_.exists(name)) return name;
    }
    return std::wstring();
}

bool ChangeJournal::setAside(const std::wstring& path) {
    // The new name stays in the file's folder, and so on its volume, where a rename works while the file is
    // loaded; a name that is taken is passed over, so nothing is ever replaced.
    const std::wstring asidePath = freeName(path, L"old");
    if (asidePath.empty() || !record({kSetAside, {path, asidePath}}) || !files_.moveFile(path, asidePath)) {
        log_.writeLogLine(L"Cannot be set aside: %s", {path});
        return false;
    }
    asidePaths_.insert(asidePath);
    return true;
}

bool ChangeJournal::placeFile(const std::wstring& from, const std::wstring& to) {
    return record({kPlaced, {to}}) && files_.replaceFile(from, to);
}

std::wstring ChangeJournal::placeAtRestart(const std::wstring& from, const std::wstring& to) {
    const std::wstring waiting = freeName(to, L"new");
    if (waiting.empty() || !record({kPending, {to, waiting}}) || !files_.replaceFile(from, waiting) ||
        !files_.replaceAtRestart(pathAtRestart(waiting, facts_), pathAtRestart(to, facts_))) {
        log_.writeLogLine(L"Cannot be left to the restart: %s", {to});
        return std::wstring();
    }
    return waiting;
}

bool ChangeJournal::ensureDirectories(const std::wstring& path) {
    return makeMissingFolders(
        path, [&](const std::wstring& folder) { return files_.exists(folder); },
        [&](const std::wstring& folder) { return journaledFiles_->createDirectory(folder); });
}

platform::DirectoryWalk& ChangeJournal::files() { return *journaledFiles_; }

bool ChangeJournal::deleteOrLeaveToRestart(const std::wstring& path) {
    if (!files_.exists(path) || files_.deleteFile(path)) return true;
    const std::wstring restartPath = pathAtRestart(path, facts_);
    if (files_.deleteAtRestart(restartPath)) {
        log_.writeLogLine(L"In use: %s is deleted at restart, as %s", {path, restartPath});
        return true;
    }
    log_.writeLogLine(L"In use: %s could not be scheduled for deletion at restart", {path});
    return false;
}

bool ChangeJournal::commit() {
    // From here on the install stands: a run that ends during the commit leaves it for the next run to finish,
    // not to undo.
    write({kCommitted, {}});
    keep();
    bool restartNeeded = false;
    for (const JournalRecord& record : records_) {
        if (record.kind == kSetAside) {
            deleteOrLeaveToRestart(record.fields[1]);
        } else if (record.kind == kDeleteAtRestart) {
            const std::wstring restartPath = pathAtRestart(record.fields[0], facts_);
            log_.writeLogLine(files_.deleteAtRestart(restartPath)
                                  ? L"Deleted at restart: %s"
                                  : L"Could not be scheduled for deletion at restart: %s",
                              {restartPath});
        } else if (record.kind == kPending) {
            log_.writeLogLine(L"Replaced at restart: %s, waiting as %s", {record.fields[0], record.fields[1]});
            restartNeeded = true;
        }
    }
    // Folders the removals emptied but for what they set aside.
    for (const JournalRecord& record : records_) {
        if (record.kind == kRemovedFolder && files_.isDirectory(record.fields[0])) {
            files_.removeDirectory(record.fields[0]);
        }
    }
    finish();
    return restartNeeded;
}

bool ChangeJournal::undo(SystemUndo& system) {
    std::size_t failed = 0;
    std::size_t changes = 0;
    for (std::size_t index = records_.size(); index-- > 0;) {
        const JournalRecord& record = records_[index];
        if (record.kind == kJournalFolder || undone_.count(index) != 0) continue;
        ++changes;
        const bool restored = isEngineKind(record.kind) ? undoFileChange(record) : system.undoChange(record, log_);
        if (!restored) ++failed;
        // An undo that is itself cut short is taken up by the next run after the last change it undid: undoing
        // a placed file again could take away the earlier file already put back under its name.
        write({kUndone, {std::to_wstring(index)}});
    }
    if (failed == 0) {
        log_.writeLogLine(L"Undone: %d changes, every one restored.", {static_cast<long long>(changes)});
    } else {
        log_.writeLogLine(L"Undone: %d changes, %d of them could not be restored.",
                          {static_cast<long long>(changes), static_cast<long long>(failed)});
    }
    finish();
    return failed == 0;
}

bool ChangeJournal::undoFileChange(const JournalRecord& record) {
    const std::wstring& path = record.fields[0];
    if (record.kind == kSetAside) return putBack(path, record.fields[1]);
    if (record.kind == kPlaced) return takeAway(path);
    if (record.kind == kPending) return takeAway(record.fields[1]);
    if (record.kind == kMadeFolder) {
        // A folder something else has been put in since stays.
        if (files_.isDirectory(path)) files_.removeDirectory(path);
        return true;
    }
    if (record.kind == kRemovedFolder) {
        if (files_.exists(path) || files_.createDirectory(path)) return true;
        log_.writeLogLine(L"Folder not made again: %s", {path});
        return false;
    }
    if (record.kind == kMoved) {
        if (!files_.exists(record.fields[1]) || files_.moveFile(record.fields[1], path)) return true;
        log_.writeLogLine(L"Not moved back: %s stays as %s", {path, record.fields[1]});
        return false;
    }
    return true;
}

bool ChangeJournal::putBack(const std::wstring& path, const std::wstring& asidePath) {
    // The run may have ended between writing the record and renaming the file.
    if (!files_.exists(asidePath)) return true;
    if (takeAway(path) && files_.moveFile(asidePath, path)) {
        asidePaths_.erase(asidePath);
        log_.writeLogLine(L"Put back: %s", {path});
        return true;
    }
    log_.writeLogLine(L"Not put back: %s stays as %s", {path, asidePath});
    return false;
}

bool ChangeJournal::takeAway(const std::wstring& path) {
    // Only a file the install put there is taken away; a folder at the path never was one.
    if (!files_.exists(path) || files_.isDirectory(path) || files_.deleteFile(path)) return true;
    // In use: out of the way under a name of its own, deleted at the restart.
    const std::wstring asidePath = freeName(path, L"old");
    if (!asidePath.empty() && files_.moveFile(path, asidePath) && deleteOrLeaveToRestart(asidePath)) return true;
    log_.writeLogLine(L"Not removed: %s", {path});
    return false;
}

void ChangeJournal::finish() {
    if (path_.empty()) return;
    file_.close();
    platform::deleteFile(path_);
    for (auto record = records_.rbegin(); record != records_.rend(); ++record) {
        if (record->kind == kJournalFolder) platform::removeDirectory(record->fields[0]);
    }
    records_.clear();
    asidePaths_.clear();
    undone_.clear();
    committed_ = false;
    path_.clear();
}
