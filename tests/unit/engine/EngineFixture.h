// What the engine tests share: a scratch folder, executables with a package appended, and a listener that
// keeps every engine message.
#pragma once

#include "engine/ChangeJournal.h"
#include "engine/InstallerContext.h"
#include "platform/GivenSystemFacts.h"
#include "platform/posix/PosixDirectoryWalk.h"
#include "tools/pkgtool/PackageWriter.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <utility>
#include <string>
#include <vector>

namespace enginetest {

using pkgtool::Bytes;

// A folder of its own, removed with everything in it.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // An engine path below the folder: the folder, a backslash, then the relative name.
    std::wstring engine(const std::wstring& relative) const;

private:
    std::filesystem::path path_;
};

void writeFile(const std::filesystem::path& path, const Bytes& bytes);
Bytes readFile(const std::filesystem::path& path);
std::filesystem::path nativePath(const std::wstring& enginePath);

// Pseudo-random bytes that do not compress.
Bytes noise(std::size_t length, std::uint32_t seed);

// A program image with just the headers imageEndOffset reads: PE32 or PE32+ by the optional header's magic.
// At least 512 bytes long.
Bytes programImage(bool pe32Plus, std::size_t length = 1024);
// Sets the security directory's file offset of a program image made above.
void setCertificateTable(Bytes& image, bool pe32Plus, std::uint32_t offset);

PackageTrailer trailerFor(const Bytes& unpacked, const Bytes& member, std::uint32_t directoryOffset);

// An unsigned executable: image, member, trailer (ending at end of file).
struct Installer {
    Bytes bytes;
    Bytes unpacked;
    PackageTrailer trailer;
};
Installer makeInstaller(const std::vector<pkgtool::PackageFile>& files);
Installer makeInstaller(const std::vector<PackageEntry>& entries, const Bytes& dataArea);

class RecordingListener final : public EngineListener {
public:
    void engineMessage(int message, int wParam, int lParam) override;
    std::vector<int> progress;
    std::vector<int> others;
};

// Consecutive values from first to last.
std::vector<int> range(int first, int last);

pkgtool::PackageFile file(const std::wstring& name, DestinationKind kind, Bytes content, bool verify = false);

}  // namespace enginetest

namespace enginetest {

// The build machine's files as Windows treats files in use: a loaded file (a program has it mapped) cannot be
// deleted or replaced but can be renamed, and stays loaded under its new name; a held file (open without delete
// sharing) can be none of these. What is left to the restart is kept, and restart() does it, as Windows'
// start-up would.
class FilesInUse final : public platform::PosixDirectoryWalk {
public:
    std::set<std::wstring> loaded;
    std::set<std::wstring> held;
    // (from, to) in the order asked; to is empty for a deletion.
    std::vector<std::pair<std::wstring, std::wstring>> atRestart;
    // Asked before every change to the files; false fails it. A test counts the changes with it, fails one,
    // or ends the run there.
    std::function<bool()> beforeChange;

    bool deleteFile(const std::wstring& path) override;
    bool moveFile(const std::wstring& from, const std::wstring& to) override;
    bool replaceFile(const std::wstring& from, const std::wstring& to) override;
    bool deleteAtRestart(const std::wstring& path) override;
    bool replaceAtRestart(const std::wstring& from, const std::wstring& to) override;
    bool createDirectory(const std::wstring& path) override;
    bool removeDirectory(const std::wstring& path) override;
    // Every program has ended; the work left to the restart is done.
    void restart();

private:
    bool inUse(const std::wstring& path) const { return loaded.count(path) != 0 || held.count(path) != 0; }
    bool allowed() const { return !beforeChange || beforeChange(); }
};

// An installer written to a scratch folder and located, with every destination slot a folder below it
// ("slot0" .. "slot9") and the install directory "slot0"; placement's journal begun in a scratch folder of its
// own, so that what placement itself leaves shows.
class Staged {
public:
    explicit Staged(const Installer& installer, ArchCode archCode = ARCH_X64);
    InstallerContext context;
    RecordingListener listener;
    ScratchDir scratch;
    FilesInUse files;
    platform::GivenSystemFacts facts;
    InstallLog log;
    ScratchDir journalFolder;
    ChangeJournal journal{files, facts, log};
    std::filesystem::path slot(DestinationKind kind) const;
    std::filesystem::path temp() const;
};

// Makes file writes beyond a length fail while it lives (as a full disk would).
class WriteLimit {
public:
    explicit WriteLimit(std::uint64_t bytes);
    ~WriteLimit();
    WriteLimit(const WriteLimit&) = delete;
    WriteLimit& operator=(const WriteLimit&) = delete;

private:
    std::uint64_t saved_;
};

}  // namespace enginetest
