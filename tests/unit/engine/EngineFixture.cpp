#include "EngineFixture.h"

#include "engine/InstallerEngine.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace enginetest {

namespace fs = std::filesystem;

ScratchDir::ScratchDir() {
    std::string pattern = (fs::temp_directory_path() / "zeln-engine-XXXXXX").string();
    path_ = mkdtemp(pattern.data());
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::wstring ScratchDir::engine(const std::wstring& relative) const {
    return path_.wstring() + L"\\" + relative;
}

fs::path nativePath(const std::wstring& enginePath) {
    std::wstring native = enginePath;
    for (wchar_t& c : native) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return fs::path(native);
}

void writeFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Bytes readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes noise(std::size_t length, std::uint32_t seed) {
    Bytes out(length);
    std::uint32_t state = seed * 2654435761u + 1;
    for (auto& b : out) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    return out;
}

namespace {

constexpr std::uint32_t kNewHeader = 128;
constexpr std::uint32_t kOptionalHeader = kNewHeader + 24;

void putU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace

Bytes programImage(bool pe32Plus, std::size_t length) {
    Bytes image(std::max<std::size_t>(length, 512), 0);
    image[0] = 'M';
    image[1] = 'Z';
    putU32(image, 60, kNewHeader);
    image[kNewHeader] = 'P';
    image[kNewHeader + 1] = 'E';
    image[kOptionalHeader] = 0x0B;
    image[kOptionalHeader + 1] = pe32Plus ? 0x02 : 0x01;
    // Every data directory a nonzero decoy, so that reading the wrong one shows.
    const std::size_t directories = kOptionalHeader + (pe32Plus ? 112 : 96);
    for (std::size_t i = 0; i < 16; ++i) {
        putU32(image, directories + i * 8, 0x1000 * static_cast<std::uint32_t>(i + 1));
    }
    setCertificateTable(image, pe32Plus, 0);
    return image;
}

void setCertificateTable(Bytes& image, bool pe32Plus, std::uint32_t offset) {
    putU32(image, kOptionalHeader + (pe32Plus ? 144 : 128), offset);
}

PackageTrailer trailerFor(const Bytes& unpacked, const Bytes& member, std::uint32_t directoryOffset) {
    PackageTrailer trailer;
    trailer.productCode = PackageGuid{0xBCC8E95D, 0x5517, 0x4B72, {0xA8, 0x7D, 0x8A, 0xDE, 0x00, 0x2B, 0xC4, 0x6D}};
    trailer.upgradeCode = PackageGuid{0xD4DE9A45, 0x5F90, 0x44FC, {0xBF, 0x02, 0x33, 0xB4, 0x80, 0x25, 0x5B, 0xD1}};
    trailer.magic = PACKAGE_MAGIC;
    trailer.productVersion = {7, 27, 1, 0};
    trailer.unpackedSize = static_cast<std::uint32_t>(unpacked.size());
    trailer.directoryOffset = directoryOffset;
    trailer.packedSize = static_cast<std::uint32_t>(member.size());
    trailer.imeVersion = {7, 27, 1, 0};
    trailer.textServiceVersion = {1, 3, 10, 0};
    trailer.reserved = pkgtool::reservedDigest();
    return trailer;
}

Installer makeInstaller(const std::vector<PackageEntry>& entries, const Bytes& dataArea) {
    Installer installer;
    installer.unpacked = pkgtool::decompressedPackage(entries, dataArea);
    const Bytes member = pkgtool::gzipMember(installer.unpacked);
    installer.trailer = trailerFor(installer.unpacked, member, static_cast<std::uint32_t>(dataArea.size()));
    installer.bytes = pkgtool::installerBytes(programImage(false), member, installer.trailer);
    return installer;
}

Installer makeInstaller(const std::vector<pkgtool::PackageFile>& files) {
    std::vector<PackageEntry> entries;
    Bytes dataArea;
    for (const auto& f : files) {
        entries.push_back(pkgtool::entryFor(f));
        dataArea.insert(dataArea.end(), f.content.begin(), f.content.end());
    }
    return makeInstaller(entries, dataArea);
}

void RecordingListener::engineMessage(int message, int wParam, int) {
    if (message == WM_INSTALL_PROGRESS) {
        progress.push_back(wParam);
    } else {
        others.push_back(message);
    }
}

std::vector<int> range(int first, int last) {
    std::vector<int> values;
    for (int v = first; v <= last; ++v) {
        values.push_back(v);
    }
    return values;
}

pkgtool::PackageFile file(const std::wstring& name, DestinationKind kind, Bytes content, bool verify) {
    return pkgtool::PackageFile{name, kind, verify, std::move(content)};
}

}  // namespace enginetest

#include "engine/PackageFormat.h"

#include <csignal>

#include <sys/resource.h>

namespace enginetest {

bool FilesInUse::deleteFile(const std::wstring& path) {
    return allowed() && !inUse(path) && PosixDirectoryWalk::deleteFile(path);
}

bool FilesInUse::moveFile(const std::wstring& from, const std::wstring& to) {
    if (!allowed() || held.count(from) != 0 || !PosixDirectoryWalk::moveFile(from, to)) return false;
    if (loaded.erase(from) != 0) loaded.insert(to);
    return true;
}

bool FilesInUse::replaceFile(const std::wstring& from, const std::wstring& to) {
    return allowed() && !inUse(from) && !inUse(to) && PosixDirectoryWalk::replaceFile(from, to);
}

bool FilesInUse::deleteAtRestart(const std::wstring& path) {
    if (!allowed()) return false;
    atRestart.emplace_back(path, std::wstring());
    return true;
}

bool FilesInUse::replaceAtRestart(const std::wstring& from, const std::wstring& to) {
    if (!allowed()) return false;
    atRestart.emplace_back(from, to);
    return true;
}

bool FilesInUse::createDirectory(const std::wstring& path) {
    return allowed() && PosixDirectoryWalk::createDirectory(path);
}

bool FilesInUse::removeDirectory(const std::wstring& path) {
    return allowed() && PosixDirectoryWalk::removeDirectory(path);
}

void FilesInUse::restart() {
    loaded.clear();
    held.clear();
    for (const auto& [from, to] : atRestart) {
        if (to.empty()) {
            PosixDirectoryWalk::deleteFile(from);
        } else {
            PosixDirectoryWalk::replaceFile(from, to);
        }
    }
    atRestart.clear();
}

Staged::Staged(const Installer& installer, ArchCode archCode) {
    writeFile(scratch.path() / "setup.exe", installer.bytes);
    context.modulePath = scratch.engine(L"setup.exe");
    locatePackage(context);
    context.archCode = archCode;
    for (std::size_t kind = 1; kind < DESTINATION_COUNT; ++kind) {
        context.directories[kind] = scratch.engine(L"slot" + std::to_wstring(kind));
    }
    setInstallDirectory(context, scratch.engine(L"slot0"));
    context.listener = &listener;
    journal.begin(journalFolder.engine(L"install.journal"));
}

std::filesystem::path Staged::slot(DestinationKind kind) const {
    return scratch.path() / ("slot" + std::to_string(kind));
}

std::filesystem::path Staged::temp() const {
    return slot(DEST_INSTALL) / "tmp";
}

WriteLimit::WriteLimit(std::uint64_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    saved_ = limit.rlim_cur;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

WriteLimit::~WriteLimit() {
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = saved_;
    setrlimit(RLIMIT_FSIZE, &limit);
}

}  // namespace enginetest
