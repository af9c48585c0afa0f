// Any unpacked store and trailer sizes: reading the directory and placing every entry into a temporary root
// through the install's journal must end with a documented result, never write outside the root, and leave no
// store behind; undone, it must leave no file at all.
//
// Input: byte 0 bit 0 = 64-bit Windows, bit 1 = undo instead of keeping; bytes 1-4 unpackedSize, 5-8
// directoryOffset (little-endian); the rest is the unpacked store.
#include "tests/fuzz/FuzzSupport.h"

#include "engine/ChangeJournal.h"
#include "engine/FilePlacement.h"
#include "engine/InstallerContext.h"
#include "engine/PayloadExtraction.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

#include "platform/GivenSystemFacts.h"
#include "platform/posix/PosixDirectoryWalk.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kHeader = 9;

std::uint32_t u32At(const std::uint8_t* data) {
    return std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 | std::uint32_t{data[2]} << 16 |
           std::uint32_t{data[3]} << 24;
}

// The root holds a folder per destination slot; relative paths would land in "cwd", the process's working
// folder, which must stay empty like everything else beside the root.
struct Layout {
    fs::path root = fuzzing::scratch().path() / "root";
    fs::path cwd = fuzzing::scratch().path() / "cwd";

    Layout() {
        fs::create_directories(cwd);
        fuzzing::require(chdir(cwd.c_str()) == 0, "working folder can be entered");
    }

    static std::wstring slot(std::size_t kind) {
        return fuzzing::scratch().engine(L"root\\slot" + std::to_wstring(kind));
    }
};

const Layout& layout() {
    static const Layout instance;
    return instance;
}

void requireNothingOutsideRoot(const InstallerContext& context) {
    std::error_code error;
    for (const auto& item : fs::directory_iterator(fuzzing::scratch().path())) {
        fuzzing::require(item.path() == layout().root || item.path() == layout().cwd, "nothing beside the root");
    }
    fuzzing::require(fs::is_empty(layout().cwd, error), "nothing in the working folder");
    const std::wstring prefix = fuzzing::scratch().engine(L"root\\");
    for (const PlacedFile& placed : context.placedFiles) {
        fuzzing::require(placed.path.empty() || placed.path.compare(0, prefix.size(), prefix) == 0,
                         "every destination lies below the root");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < kHeader) {
        return 0;
    }
    const Layout& where = layout();
    std::error_code error;
    fs::remove_all(where.root, error);
    for (std::size_t kind = 0; kind < DESTINATION_COUNT; ++kind) {
        fs::create_directories(enginetest::nativePath(Layout::slot(kind)));
    }
    InstallerContext context;
    context.archCode = (data[0] & 1) != 0 ? ARCH_X64 : ARCH_X86;
    context.trailer.magic = PACKAGE_MAGIC;
    context.trailer.unpackedSize = u32At(data + 1);
    context.trailer.directoryOffset = u32At(data + 5);
    for (std::size_t kind = 1; kind < DESTINATION_COUNT; ++kind) {
        context.directories[kind] = Layout::slot(kind);
    }
    fuzzing::require(setInstallDirectory(context, Layout::slot(DEST_INSTALL)) == RESULT_OK,
                     "the install directory fits");
    const fs::path store = enginetest::nativePath(Layout::slot(DEST_INSTALL)) / "tmp" / "installer.dat";
    fs::create_directories(store.parent_path());
    enginetest::writeFile(store, enginetest::Bytes(data + kHeader, data + size));

    platform::PosixDirectoryWalk files;
    platform::GivenSystemFacts facts;
    InstallLog log;
    ChangeJournal journal(files, facts, log);
    fuzzing::require(journal.begin(fuzzing::scratch().engine(L"root\\install.journal")), "the journal begins");
    const InstallResult placed = placeFiles(context, journal);
    fuzzing::require(placed == RESULT_OK || placed == ERR_EMPTY_DIRECTORY || placed == ERR_DIRECTORY_READ ||
                         placed == ERR_ENTRY_CREATE || placed == ERR_READ || placed == ERR_WRITE ||
                         placed == ERR_CREATE_DIRECTORY,
                     "placement ends with 0, 7, 8, 11, 12, 13 or 14");
    fuzzing::require(!fs::exists(store, error), "the store is removed");
    if (placed == RESULT_OK) {
        fuzzing::require(context.placedFiles.size() == context.entryCount, "every entry takes its slot");
        std::uint64_t dataLength = 0;
        for (const PackageEntry& entry : context.directory) {
            dataLength += entry.size;
        }
        fuzzing::require(dataLength == context.trailer.directoryOffset,
                         "the placed entries take the data area exactly, each its own bytes");
        const InstallResult verified = verifyFiles(context);
        fuzzing::require(verified == RESULT_OK || verified == ERR_VERIFY_OPEN || verified == ERR_MD5_MISMATCH ||
                             verified == ERR_MISSING_FILE,
                         "verification ends with 0, 15, 16 or 17");
    }
    if ((data[0] & 2) != 0) {
        struct NoSystemRecords final : SystemUndo {
            bool undoChange(const JournalRecord&, InstallLog&) override { return false; }
        } system;
        fuzzing::require(journal.undo(system), "every placement is undone");
        // A 64-bit entry on 32-bit Windows stays in the temporary folder, which the install itself empties.
        for (const auto& item : fs::recursive_directory_iterator(where.root)) {
            fuzzing::require(item.is_directory() || item.path().parent_path() == store.parent_path(),
                             "nothing but the slots' folders is left after the undo");
        }
    } else {
        journal.commit();
    }
    requireNothingOutsideRoot(context);
    return 0;
}
