#include "tools/pkgtool/PackageWriter.h"

#include "engine/Md5.h"

#include <algorithm>
#include <cstring>

#include <zlib.h>

namespace pkgtool {

namespace {

constexpr int kGzipWindowBits = 15 + 16;
constexpr int kMemoryLevel = 9;
constexpr int kOsByte = 11;

void append(Bytes& out, const std::uint8_t* data, std::size_t length) {
    out.insert(out.end(), data, data + length);
}

}  // namespace

bool encodeEntryName(const std::wstring& name, std::array<char16_t, PATH_UNITS>& units) {
    units.fill(u'\0');
    std::size_t at = 0;
    for (const wchar_t c : name) {
        const auto code = static_cast<std::uint32_t>(c);
        const std::size_t need = code > 0xFFFF ? 2 : 1;
        if (at + need >= PATH_UNITS) {
            return false;
        }
        if (need == 2) {
            units[at++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            units[at++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            units[at++] = static_cast<char16_t>(code);
        }
    }
    return true;
}

PackageEntry entryFor(const PackageFile& file) {
    PackageEntry entry;
    encodeEntryName(file.name, entry.name);
    entry.md5 = md5Of(file.content.data(), file.content.size());
    entry.kind = file.kind;
    entry.verify = file.verify ? 1 : 0;
    entry.size = static_cast<std::uint32_t>(file.content.size());
    entry.size2 = entry.size;
    return entry;
}

PackageEntry rawEntry(const std::u16string& name, DestinationKind kind, std::uint32_t size) {
    PackageEntry entry;
    std::copy_n(name.begin(), std::min(name.size(), entry.name.size()), entry.name.begin());
    entry.kind = kind;
    entry.size = size;
    entry.size2 = size;
    return entry;
}

Bytes decompressedPackage(const std::vector<PackageEntry>& entries, const Bytes& dataArea) {
    Bytes out = dataArea;
    for (const PackageEntry& entry : entries) {
        const EntryBytes bytes = encodeEntry(entry);
        append(out, bytes.data(), bytes.size());
    }
    return out;
}

Bytes decompressedPackage(const std::vector<PackageFile>& files) {
    Bytes dataArea;
    std::vector<PackageEntry> entries;
    for (const PackageFile& file : files) {
        append(dataArea, file.content.data(), file.content.size());
        entries.push_back(entryFor(file));
    }
    return decompressedPackage(entries, dataArea);
}

Bytes gzipMember(const Bytes& data) {
    z_stream stream{};
    if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY) !=
        Z_OK) {
        return {};
    }
    gz_header header{};
    header.os = kOsByte;
    deflateSetHeader(&stream, &header);
    Bytes out(deflateBound(&stream, static_cast<uLong>(data.size())) + 64);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return status == Z_STREAM_END ? out : Bytes();
}

std::array<std::uint8_t, 16> reservedDigest() {
    const Md5Digest digest = md5Of(nullptr, 0);
    std::array<std::uint8_t, 16> reserved{};
    std::memcpy(reserved.data(), digest.data(), reserved.size());
    return reserved;
}

Bytes installerBytes(const Bytes& stub, const Bytes& member, const PackageTrailer& trailer) {
    Bytes out = stub;
    append(out, member.data(), member.size());
    const TrailerBytes bytes = encodeTrailer(trailer);
    append(out, bytes.data(), bytes.size());
    return out;
}

}  // namespace pkgtool
