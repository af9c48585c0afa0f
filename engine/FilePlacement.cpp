#include "engine/FilePlacement.h"

#include "engine/ChangeJournal.h"
#include "engine/InstallerContext.h"
#include "engine/Md5.h"
#include "engine/PayloadExtraction.h"
#include "engine/Progress.h"
#include "platform/Files.h"
#include "platform/TextCompare.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kChunk = 2048;

bool isSurrogate(char16_t unit, char16_t first) {
    return unit >= first && unit <= first + 0x3FF;
}

// The name's units up to its terminator as a wide string; false without a terminator or with a lone surrogate.
bool decodeName(const PackageEntry& entry, std::wstring& name) {
    const auto end = std::find(entry.name.begin(), entry.name.end(), u'\0');
    if (end == entry.name.end()) {
        return false;
    }
    std::wstring decoded;
    for (auto it = entry.name.begin(); it != end; ++it) {
        const char16_t unit = *it;
        if (isSurrogate(unit, 0xDC00)) {
            return false;
        }
        if (!isSurrogate(unit, 0xD800)) {
            decoded += static_cast<wchar_t>(unit);
            continue;
        }
        if (it + 1 == end || !isSurrogate(it[1], 0xDC00)) {
            return false;
        }
        const char16_t low = *++it;
        if constexpr (sizeof(wchar_t) == 2) {
            decoded += static_cast<wchar_t>(unit);
            decoded += static_cast<wchar_t>(low);
        } else {
            decoded += static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        }
    }
    name = decoded;
    return true;
}

// CON, PRN, AUX, NUL, COM1..COM9 and LPT1..LPT9, also with an extension: Windows opens the device instead.
bool isDeviceName(const std::wstring& component) {
    std::wstring stem = component.substr(0, component.find(L'.'));
    for (wchar_t& c : stem) {
        c = platform::foldAsciiCase(c);
    }
    if (stem == L"con" || stem == L"prn" || stem == L"aux" || stem == L"nul") {
        return true;
    }
    return stem.size() == 4 && (stem.compare(0, 3, L"com") == 0 || stem.compare(0, 3, L"lpt") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

bool isSafeComponent(const std::wstring& component) {
    if (component.empty() || component == L"." || component == L".." || component.back() == L'.' ||
        component.back() == L' ' || isDeviceName(component)) {
        return false;
    }
    return std::none_of(component.begin(), component.end(),
                        [](wchar_t c) { return c < 0x20 || c == L':' || c == L'/'; });
}

bool isSkippedOnThisSystem(DestinationKind kind, const InstallerContext& context) {
    return (kind == DEST_SYSNATIVE || kind == DEST_PROGRAM_FILES_64) && context.archCode != ARCH_X64;
}

// What placeFiles leaves behind in no case: the store, the temporary file of an entry that stopped half-way,
// and the temporary folder once it is empty.
class PlacementCleanup {
public:
    PlacementCleanup(std::wstring storePath, std::wstring tempDir)
        : storePath_(std::move(storePath)), tempDir_(std::move(tempDir)) {}
    ~PlacementCleanup() {
        platform::deleteFile(storePath_);
        if (!halfWay_.empty()) {
            platform::deleteFile(halfWay_);
        }
        platform::removeDirectory(tempDir_);
    }
    PlacementCleanup(const PlacementCleanup&) = delete;
    PlacementCleanup& operator=(const PlacementCleanup&) = delete;

    void entryStarted(const std::wstring& tempPath) { halfWay_ = tempPath; }
    void entryDone() { halfWay_.clear(); }

private:
    std::wstring storePath_;
    std::wstring tempDir_;
    std::wstring halfWay_;
};

// The whole directory, checked before any file is written.
InstallResult readDirectory(InstallerContext& context, platform::File& store) {
    const PackageTrailer& trailer = context.trailer;
    if (trailer.directoryOffset > trailer.unpackedSize) {
        return ERR_EMPTY_DIRECTORY;
    }
    const std::uint32_t length = trailer.unpackedSize - trailer.directoryOffset;
    const std::uint32_t count = length / ENTRY_SIZE;
    if (count == 0) {
        return ERR_EMPTY_DIRECTORY;
    }
    // A partial record means the directory is not what its builder wrote: nothing of it is trusted.
    std::uint64_t storeLength = 0;
    if (length % ENTRY_SIZE != 0 || !store.size(storeLength) ||
        storeLength < std::uint64_t{trailer.directoryOffset} + length || !store.seek(trailer.directoryOffset)) {
        return ERR_DIRECTORY_READ;
    }
    std::vector<PackageEntry> entries;
    entries.reserve(count);
    std::uint64_t dataLength = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        EntryBytes bytes{};
        if (store.read(bytes.data(), bytes.size()) != bytes.size()) {
            return ERR_DIRECTORY_READ;
        }
        entries.push_back(decodeEntry(bytes));
        std::wstring name;
        if (!entryRelativePath(entries.back(), name)) {
            return ERR_DIRECTORY_READ;
        }
        dataLength += entries.back().size;
    }
    // Records hold no offsets: each entry's data follow the previous entry's. Sizes that do not fill the data
    // area exactly would hand every later entry its neighbour's bytes, so such a directory is not acted on.
    if (dataLength != trailer.directoryOffset) {
        return ERR_DIRECTORY_READ;
    }
    context.entryCount = count;
    context.directory = std::move(entries);
    return RESULT_OK;
}

// size bytes from the store's current position into a new temporary file.
InstallResult copyEntryData(platform::File& store, const std::wstring& tempPath, std::uint32_t size,
                            std::uint64_t& copiedTotal) {
    platform::File temp(tempPath, platform::FileMode::Write);
    if (!temp.isOpen()) {
        return ERR_ENTRY_CREATE;
    }
    std::uint8_t buffer[kChunk];
    for (std::uint32_t left = size; left > 0;) {
        const std::uint32_t chunk = std::min(left, kChunk);
        if (store.read(buffer, chunk) != chunk) {
            return ERR_READ;
        }
        if (temp.write(buffer, chunk) != chunk) {
            return ERR_WRITE;
        }
        left -= chunk;
        copiedTotal += chunk;
    }
    return temp.close() ? RESULT_OK : ERR_WRITE;
}

bool isPerUser(DestinationKind kind) { return kind >= DEST_ROAMING; }

// The new file goes where its destination is. What is there already: a per-user file is the user's own and
// stays as it is; any other file is set aside (a rename works even while a program has it loaded) and the new
// one takes its place; one that can be neither replaced nor renamed (held open without delete sharing) gets
// the new file beside it, to replace it at the next restart. A folder in the way is never moved: the new file
// cannot be placed then.
InstallResult moveIntoPlace(InstallerContext& context, ChangeJournal& journal, const PackageEntry& entry,
                            const std::wstring& tempPath, const std::wstring& destination) {
    platform::DirectoryWalk& files = journal.files();
    if (files.isDirectory(destination)) return ERR_WRITE;
    const bool occupied = files.exists(destination);
    if (occupied && isPerUser(entry.kind)) {
        platform::deleteFile(tempPath);
        recordPlacedFile(context, destination, entry.kind, Placement::UsersOwn);
        return RESULT_OK;
    }
    if (occupied && !journal.setAside(destination)) {
        const std::wstring waiting = journal.placeAtRestart(tempPath, destination);
        if (waiting.empty()) return ERR_WRITE;
        recordPlacedFile(context, waiting, entry.kind, Placement::AtRestart);
        return RESULT_OK;
    }
    if (!journal.placeFile(tempPath, destination)) return ERR_WRITE;
    recordPlacedFile(context, destination, entry.kind, Placement::Placed);
    return RESULT_OK;
}

InstallResult placeEntry(InstallerContext& context, ChangeJournal& journal, const PackageEntry& entry,
                         platform::File& store, PlacementCleanup& cleanup, std::uint64_t& copiedTotal) {
    std::wstring name;
    std::wstring tempPath;
    entryRelativePath(entry, name);
    if (!composePath(context.tempDir, baseName(name), tempPath)) {
        return ERR_ENTRY_CREATE;
    }
    cleanup.entryStarted(tempPath);
    const InstallResult copied = copyEntryData(store, tempPath, entry.size, copiedTotal);
    if (copied != RESULT_OK) {
        return copied;
    }
    if (isSkippedOnThisSystem(entry.kind, context)) {
        // A 64-bit file on 32-bit Windows stays in the temporary folder; the 32-bit twin of the same base name
        // usually overwrites it there and is moved.
        cleanup.entryDone();
        recordPlacedFile(context, std::wstring(), entry.kind, Placement::Skipped);
        return RESULT_OK;
    }
    std::wstring destination;
    const std::wstring& slot = context.directories[entry.kind];
    if (!composePath(slot, name, destination) || !journal.ensureDirectories(destination)) {
        return ERR_CREATE_DIRECTORY;
    }
    const InstallResult placed = moveIntoPlace(context, journal, entry, tempPath, destination);
    if (placed == RESULT_OK) cleanup.entryDone();
    return placed;
}

}  // namespace

std::wstring baseName(const std::wstring& name) {
    const std::size_t cut = name.rfind(L'\\');
    return cut == std::wstring::npos ? name : name.substr(cut + 1);
}

bool entryRelativePath(const PackageEntry& entry, std::wstring& name) {
    std::wstring decoded;
    if (entry.kind >= DESTINATION_COUNT || !decodeName(entry, decoded)) {
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = decoded.find(L'\\', start);
        if (!isSafeComponent(decoded.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start))) {
            return false;
        }
        if (end == std::wstring::npos) {
            break;
        }
        start = end + 1;
    }
    // The temporary copy of such an entry would overwrite the store it is being read from.
    if (platform::equalsIgnoringAsciiCase(baseName(decoded), STORE_NAME)) {
        return false;
    }
    name = decoded;
    return true;
}

InstallResult placeFiles(InstallerContext& context, ChangeJournal& journal) {
    std::wstring storePath;
    if (!composePath(context.tempDir, STORE_NAME, storePath)) {
        return ERR_OPEN;
    }
    PlacementCleanup cleanup(storePath, context.tempDir);
    platform::File store(storePath, platform::FileMode::ReadUpdate);
    if (!store.isOpen()) {
        return ERR_OPEN;
    }
    const InstallResult directoryRead = readDirectory(context, store);
    if (directoryRead != RESULT_OK) {
        return directoryRead;
    }
    if (!store.seek(0)) {
        return ERR_READ;
    }
    const std::uint32_t base = context.lastProgress;
    std::uint64_t copiedTotal = 0;
    for (const PackageEntry& entry : context.directory) {
        if (cancelRequested(context)) {
            return ERR_CANCELLED;
        }
        const InstallResult placed = placeEntry(context, journal, entry, store, cleanup, copiedTotal);
        if (placed != RESULT_OK) {
            return placed;
        }
        reportProgress(context, placementPercent(copiedTotal, context.trailer.directoryOffset, base));
    }
    return RESULT_OK;
}

InstallResult verifyFiles(const InstallerContext& context) {
    for (std::size_t i = 0; i < context.directory.size(); ++i) {
        const PackageEntry& entry = context.directory[i];
        if (isSkippedOnThisSystem(entry.kind, context)) {
            continue;
        }
        if (i >= context.placedFiles.size()) {
            return ERR_MISSING_FILE;
        }
        const PlacedFile& placed = context.placedFiles[i];
        const std::wstring& path = placed.path;
        // Files of the per-user folders count as placed without being looked for; only a digest asked for
        // needs them. A per-user file that was there already is the user's own: its content is theirs.
        if (!isPerUser(entry.kind) && !platform::pathExists(path)) {
            return ERR_MISSING_FILE;
        }
        if (entry.verify != 0 && placed.placement != Placement::UsersOwn) {
            Md5Digest digest{};
            if (md5File(path, digest) != 0) {
                return ERR_VERIFY_OPEN;
            }
            if (digest != entry.md5) {
                return ERR_MD5_MISMATCH;
            }
        }
    }
    return RESULT_OK;
}

void recordPlacedFile(InstallerContext& context, const std::wstring& path, DestinationKind kind,
                      Placement placement) {
    if (context.placedFiles.size() >= context.entryCount) {
        return;
    }
    if (context.placedFiles.empty()) {
        context.placedFiles.reserve(context.entryCount);
    }
    context.placedFiles.push_back(PlacedFile{path, kind, placement});
}
