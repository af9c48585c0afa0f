#include "bench/SyntheticPackage.h"

#include "engine/Md5.h"
#include "tools/pkgtool/PackageWriter.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numeric>

#include <zlib.h>

namespace bench {

namespace {

constexpr std::uint64_t kShippedDataSize = 22313714;
constexpr std::size_t kStubSize = 512;
constexpr std::size_t kChunk = 64;
constexpr std::size_t kHistoryChunks = 256;
// Share of chunks that are fresh noise; the rest repeat an earlier chunk with two bytes changed. Deflated,
// this comes to about 47 % of the input, as the shipped fonts and modules do.
constexpr std::uint32_t kNoisePercent = 34;

// Bytes of one file: fresh noise and near-repeats of recent chunks, from a seed of its own.
class ContentSource {
public:
    explicit ContentSource(std::uint32_t seed) : state_(seed * 2654435761u + 0x9E3779B9u) {}

    void fill(std::uint8_t* out, std::size_t length) {
        while (length > 0) {
            if (offset_ == kChunk) {
                nextChunk();
            }
            const std::size_t take = std::min(length, kChunk - offset_);
            std::memcpy(out, history_[current_].data() + offset_, take);
            offset_ += take;
            out += take;
            length -= take;
        }
    }

private:
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

    void nextChunk() {
        const std::size_t previous = current_;
        current_ = (current_ + 1) % kHistoryChunks;
        auto& chunk = history_[current_];
        if (filled_ < kHistoryChunks || next() % 100 < kNoisePercent) {
            for (auto& b : chunk) {
                b = static_cast<std::uint8_t>(next() >> 24);
            }
            ++filled_;
        } else {
            chunk = history_[(previous + kHistoryChunks - next() % (kHistoryChunks - 1)) % kHistoryChunks];
            chunk[next() % kChunk] = static_cast<std::uint8_t>(next());
            chunk[next() % kChunk] = static_cast<std::uint8_t>(next());
        }
        offset_ = 0;
    }

    std::uint32_t state_;
    std::array<std::array<std::uint8_t, kChunk>, kHistoryChunks> history_{};
    std::size_t current_ = 0;
    std::size_t offset_ = kChunk;
    std::size_t filled_ = 0;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// One gzip member (header flags 0, time 0, OS byte 11) written as the data comes.
class GzipMemberWriter {
public:
    explicit GzipMemberWriter(std::FILE* out) : out_(out) {
        ok_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) == Z_OK;
        header_.os = 11;
        ok_ = ok_ && deflateSetHeader(&stream_, &header_) == Z_OK;
    }
    ~GzipMemberWriter() { deflateEnd(&stream_); }
    GzipMemberWriter(const GzipMemberWriter&) = delete;
    GzipMemberWriter& operator=(const GzipMemberWriter&) = delete;

    void write(const std::uint8_t* data, std::size_t length) { pump(data, length, Z_NO_FLUSH); }
    // False when anything failed along the way.
    bool finish() {
        pump(nullptr, 0, Z_FINISH);
        return ok_;
    }
    std::uint64_t packedSize() const { return stream_.total_out; }

private:
    void pump(const std::uint8_t* data, std::size_t length, int flush) {
        stream_.next_in = const_cast<Bytef*>(data);
        stream_.avail_in = static_cast<uInt>(length);
        int status = Z_OK;
        do {
            std::array<std::uint8_t, 1 << 16> buffer;
            stream_.next_out = buffer.data();
            stream_.avail_out = static_cast<uInt>(buffer.size());
            status = deflate(&stream_, flush);
            const std::size_t produced = buffer.size() - stream_.avail_out;
            ok_ = ok_ && status != Z_STREAM_ERROR && std::fwrite(buffer.data(), 1, produced, out_) == produced;
        } while (ok_ && (stream_.avail_out == 0 || (flush == Z_FINISH && status != Z_STREAM_END)));
    }

    std::FILE* out_;
    z_stream stream_{};
    gz_header header_{};
    bool ok_ = false;
};

}  // namespace

std::vector<SyntheticFile> syntheticFiles(unsigned scale) {
    std::vector<SyntheticFile> files;
    const auto add = [&files](std::wstring name, DestinationKind kind, std::uint64_t size) {
        files.push_back({std::move(name), kind, size});
    };
    add(L"ZelnIME\\ZelnImeUpdate.exe", DEST_INSTALL, 1120000);
    add(L"ZelnIME\\uninst.exe", DEST_INSTALL, 310000);
    add(L"ZelnIME\\install.ico", DEST_INSTALL, 25000);
    for (std::uint64_t i = 0; i < 11; ++i) {
        add(L"ZelnIME\\dict\\dict" + std::to_wstring(i) + L".dic", DEST_INSTALL, 90000 + i * 91807 % 300000);
    }
    for (std::uint64_t i = 0; i < 8; ++i) {
        add(L"ZelnIME\\conv\\table" + std::to_wstring(i) + L".tbl", DEST_INSTALL, 20000 + i * 13331 % 70000);
    }
    for (std::uint64_t i = 0; i < 6; ++i) {
        add(L"ZelnIME\\skins\\skin" + std::to_wstring(i) + L".skin", DEST_INSTALL, 30000 + i * 17011 % 50000);
    }
    for (std::uint64_t i = 0; i < 10; ++i) {
        add(L"ZelnIME\\doc" + std::to_wstring(i) + L".txt", DEST_INSTALL, 1000 + i * 2311 % 7000);
    }
    for (const DestinationKind kind : {DEST_SYSNATIVE, DEST_SYSTEM32}) {
        const bool wide = kind == DEST_SYSNATIVE;
        add(L"ZelnIme.ime", kind, wide ? 1650112 : 1231360);
        add(L"ZelnImeTSF.ime", kind, wide ? 934400 : 712704);
        add(L"zelnsoft.tte", kind, 162816);
    }
    for (std::uint64_t i = 0; i < 28; ++i) {
        add(L"ZelnFont" + std::to_wstring(i) + L".ttf", DEST_FONTS, 280000 + i * 37123 % 300000);
    }
    add(L"ZelnIME\\userdict.dat", DEST_ROAMING, 24576);
    // The main dictionary takes what is left, so that the data add up to the shipped package's.
    const std::uint64_t others = std::accumulate(files.begin(), files.end(), std::uint64_t{0},
                                                 [](std::uint64_t sum, const SyntheticFile& f) { return sum + f.size; });
    add(L"ZelnIME\\dict\\base.dic", DEST_INSTALL, kShippedDataSize - others);
    for (SyntheticFile& f : files) {
        f.size *= scale;
    }
    return files;
}

bool writeSyntheticInstaller(const std::string& path, const std::vector<SyntheticFile>& files,
                             SyntheticInstaller& written) {
    FileHandle out(std::fopen(path.c_str(), "wb"));
    if (!out) {
        return false;
    }
    // A program image with no certificate table: the package area ends at the end of the file.
    const std::array<std::uint8_t, kStubSize> stub{'M', 'Z'};
    bool ok = std::fwrite(stub.data(), 1, stub.size(), out.get()) == stub.size();
    GzipMemberWriter member(out.get());
    std::vector<PackageEntry> entries;
    std::vector<std::uint8_t> buffer(1 << 16);
    std::uint64_t dataSize = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const SyntheticFile& f = files[i];
        ContentSource content(static_cast<std::uint32_t>(i + 1));
        Md5 digest;
        for (std::uint64_t left = f.size; left > 0;) {
            const std::size_t take = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer.size()));
            content.fill(buffer.data(), take);
            digest.update(buffer.data(), take);
            member.write(buffer.data(), take);
            left -= take;
        }
        PackageEntry entry;
        ok = pkgtool::encodeEntryName(f.name, entry.name) && ok;
        entry.md5 = digest.finish();
        entry.kind = f.kind;
        entry.size = static_cast<std::uint32_t>(f.size);
        entry.size2 = entry.size;
        // As in the shipped package, every placed file is checked against its digest.
        entry.verify = 1;
        entries.push_back(entry);
        dataSize += f.size;
    }
    for (const PackageEntry& entry : entries) {
        const EntryBytes bytes = encodeEntry(entry);
        member.write(bytes.data(), bytes.size());
    }
    ok = member.finish() && ok;
    written.packageOffset = kStubSize;
    written.dataSize = dataSize;
    written.unpackedSize = dataSize + entries.size() * ENTRY_SIZE;
    written.packedSize = member.packedSize();
    written.fileSize = kStubSize + written.packedSize + TRAILER_SIZE;
    if (written.unpackedSize > UINT32_MAX || written.fileSize > UINT32_MAX) {
        return false;
    }
    PackageTrailer trailer;
    trailer.magic = PACKAGE_MAGIC;
    trailer.productVersion = {7, 27, 1, 0};
    trailer.unpackedSize = static_cast<std::uint32_t>(written.unpackedSize);
    trailer.directoryOffset = static_cast<std::uint32_t>(dataSize);
    trailer.packedSize = static_cast<std::uint32_t>(written.packedSize);
    trailer.imeVersion = {7, 27, 1, 0};
    trailer.textServiceVersion = {1, 3, 10, 0};
    const TrailerBytes bytes = encodeTrailer(trailer);
    ok = std::fwrite(bytes.data(), 1, bytes.size(), out.get()) == bytes.size() && ok;
    return std::fclose(out.release()) == 0 && ok;
}

}  // namespace bench
