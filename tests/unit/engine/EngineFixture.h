// What the engine tests share: a scratch folder, executables with a package appended, and a listener that
// keeps every engine message.
#pragma once

#include "engine/InstallerContext.h"
#include "tools/pkgtool/PackageWriter.h"

#include <cstdint>
#include <filesystem>
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

// An installer written to a scratch folder and located, with every destination slot a folder below it
// ("slot0" .. "slot9") and the install directory "slot0".
class Staged {
public:
    explicit Staged(const Installer& installer, ArchCode archCode = ARCH_X64);
    InstallerContext context;
    RecordingListener listener;
    ScratchDir scratch;
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
