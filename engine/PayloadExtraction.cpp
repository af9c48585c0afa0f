#include "engine/PayloadExtraction.h"

#include "engine/InstallerContext.h"
#include "engine/Progress.h"
#include "platform/Files.h"
#include "platform/GzipReader.h"

#include <algorithm>
#include <cstdint>
#include <string>

namespace {

constexpr std::uint32_t kChunk = 2048;

// Deletes a path when it goes out of scope.
class DeleteOnExit {
public:
    explicit DeleteOnExit(std::wstring path) : path_(std::move(path)) {}
    ~DeleteOnExit() { platform::deleteFile(path_); }
    DeleteOnExit(const DeleteOnExit&) = delete;
    DeleteOnExit& operator=(const DeleteOnExit&) = delete;

private:
    std::wstring path_;
};

// Stage 1: packageSize bytes from packageOffset of the executable into the archive.
InstallResult copyMember(InstallerContext& context, platform::File& executable, const std::wstring& archivePath) {
    platform::File archive(archivePath, platform::FileMode::Write);
    if (!archive.isOpen()) {
        return ERR_OPEN;
    }
    const std::uint32_t base = context.lastProgress;
    const std::uint32_t total = context.packageSize;
    if (total > 0 && !executable.seek(context.packageOffset)) {
        return ERR_READ;
    }
    std::uint8_t buffer[kChunk];
    std::uint32_t copied = 0;
    while (copied < total) {
        const std::uint32_t chunk = std::min(total - copied, kChunk);
        if (executable.read(buffer, chunk) != chunk) {
            return ERR_READ;
        }
        if (archive.write(buffer, chunk) != chunk) {
            return ERR_WRITE;
        }
        copied += chunk;
        reportProgress(context, extractionPercent(copied, total, base));
    }
    return archive.close() ? RESULT_OK : ERR_WRITE;
}

// Stage 2: the archive decompressed into the store, then the trailer's bytes.
InstallResult decompressMember(InstallerContext& context, const std::wstring& archivePath,
                               const std::wstring& storePath) {
    platform::GzipReader reader(archivePath);
    if (!reader.isOpen()) {
        return ERR_OPEN;
    }
    platform::File store(storePath, platform::FileMode::Write);
    if (!store.isOpen()) {
        return ERR_OPEN;
    }
    const std::uint32_t base = context.lastProgress;
    std::uint8_t buffer[kChunk];
    std::uint32_t written = 0;
    for (;;) {
        const int got = reader.read(buffer, kChunk);
        if (got == 0) {
            break;
        }
        const auto count = static_cast<std::size_t>(got);
        if (got < 0 || store.write(buffer, count) != count) {
            return ERR_WRITE;
        }
        written += static_cast<std::uint32_t>(got);
        reportProgress(context, extractionPercent(written, context.trailer.directoryOffset, base));
    }
    const TrailerBytes trailer = encodeTrailer(context.trailer);
    if (store.write(trailer.data(), trailer.size()) != trailer.size() || !store.close()) {
        return ERR_WRITE;
    }
    return RESULT_OK;
}

}  // namespace

InstallResult extractPayload(InstallerContext& context) {
    platform::File executable(context.modulePath, platform::FileMode::Read);
    if (!executable.isOpen()) {
        return ERR_OPEN;
    }
    std::wstring archivePath;
    std::wstring storePath;
    if (!composePath(context.tempDir, ARCHIVE_NAME, archivePath) ||
        !composePath(context.tempDir, STORE_NAME, storePath)) {
        return ERR_OPEN;
    }
    // A folder that cannot be made shows as a failure to create the archive, or as 14 at the end.
    const InstallResult pending = ensureDirectories(archivePath, true) == ERR_CREATE_DIRECTORY
                                      ? ERR_CREATE_DIRECTORY
                                      : RESULT_OK;
    const DeleteOnExit archiveCleanup(archivePath);
    InstallResult result = copyMember(context, executable, archivePath);
    executable.close();
    if (result == RESULT_OK) {
        result = decompressMember(context, archivePath, storePath);
    }
    return result != RESULT_OK ? result : pending;
}
