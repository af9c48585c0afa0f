#include "engine/PackageFormat.h"

#include "engine/InstallerContext.h"
#include "platform/Files.h"

#include <cstdint>
#include <string>

namespace {

// Little-endian fields at fixed offsets of an on-disk record.
class FieldReader {
public:
    explicit FieldReader(const std::uint8_t* bytes) : bytes_(bytes) {}
    std::uint8_t u8() { return bytes_[at_++]; }
    std::uint16_t u16() {
        const std::uint16_t low = u8();
        return static_cast<std::uint16_t>(low | (u8() << 8));
    }
    std::uint32_t u32() {
        const std::uint32_t low = u16();
        return low | (static_cast<std::uint32_t>(u16()) << 16);
    }
    template <typename Array>
    void bytes(Array& out) {
        for (auto& b : out) {
            b = u8();
        }
    }
    PackageGuid guid() {
        PackageGuid g;
        g.data1 = u32();
        g.data2 = u16();
        g.data3 = u16();
        bytes(g.data4);
        return g;
    }
    PackageVersion version() {
        PackageVersion v{};
        for (auto& part : v) {
            part = u32();
        }
        return v;
    }

private:
    const std::uint8_t* bytes_;
    std::size_t at_ = 0;
};

class FieldWriter {
public:
    explicit FieldWriter(std::uint8_t* bytes) : bytes_(bytes) {}
    void u8(std::uint8_t value) { bytes_[at_++] = value; }
    void u16(std::uint16_t value) {
        u8(static_cast<std::uint8_t>(value));
        u8(static_cast<std::uint8_t>(value >> 8));
    }
    void u32(std::uint32_t value) {
        u16(static_cast<std::uint16_t>(value));
        u16(static_cast<std::uint16_t>(value >> 16));
    }
    template <typename Array>
    void bytes(const Array& in) {
        for (const auto b : in) {
            u8(b);
        }
    }
    void guid(const PackageGuid& g) {
        u32(g.data1);
        u16(g.data2);
        u16(g.data3);
        bytes(g.data4);
    }
    void version(const PackageVersion& v) {
        for (const auto part : v) {
            u32(part);
        }
    }

private:
    std::uint8_t* bytes_;
    std::size_t at_ = 0;
};

// The optional header's magic tells a 64-bit image (PE32+) from a 32-bit one (any other magic is read as
// PE32); their data directories start at different offsets, so the security directory (number 4) does too.
constexpr std::uint16_t PE32_PLUS_MAGIC = 0x20B;
constexpr std::uint32_t PE32_SECURITY_DIRECTORY = 128;
constexpr std::uint32_t PE32_PLUS_SECURITY_DIRECTORY = 144;
constexpr std::uint32_t DOS_NEW_HEADER_FIELD = 60;
constexpr std::uint32_t PE_SIGNATURE_AND_FILE_HEADER = 24;

bool readU32(platform::File& file, std::uint64_t offset, std::uint32_t& value) {
    std::uint8_t bytes[4] = {};
    if (!file.seek(offset) || file.read(bytes, sizeof bytes) != sizeof bytes) {
        return false;
    }
    value = FieldReader(bytes).u32();
    return true;
}

}  // namespace

PackageTrailer decodeTrailer(const TrailerBytes& bytes) {
    FieldReader in(bytes.data());
    PackageTrailer t;
    t.productCode = in.guid();
    t.upgradeCode = in.guid();
    t.magic = in.u32();
    t.productVersion = in.version();
    t.unpackedSize = in.u32();
    t.directoryOffset = in.u32();
    t.packedSize = in.u32();
    t.imeVersion = in.version();
    t.textServiceVersion = in.version();
    in.bytes(t.reserved);
    return t;
}

TrailerBytes encodeTrailer(const PackageTrailer& t) {
    TrailerBytes bytes{};
    FieldWriter out(bytes.data());
    out.guid(t.productCode);
    out.guid(t.upgradeCode);
    out.u32(t.magic);
    out.version(t.productVersion);
    out.u32(t.unpackedSize);
    out.u32(t.directoryOffset);
    out.u32(t.packedSize);
    out.version(t.imeVersion);
    out.version(t.textServiceVersion);
    out.bytes(t.reserved);
    return bytes;
}

PackageEntry decodeEntry(const EntryBytes& bytes) {
    FieldReader in(bytes.data());
    PackageEntry e;
    for (auto& unit : e.name) {
        unit = static_cast<char16_t>(in.u16());
    }
    in.bytes(e.md5);
    e.kind = in.u16();
    e.verify = in.u16();
    e.size = in.u32();
    e.size2 = in.u32();
    return e;
}

EntryBytes encodeEntry(const PackageEntry& e) {
    EntryBytes bytes{};
    FieldWriter out(bytes.data());
    for (const auto unit : e.name) {
        out.u16(static_cast<std::uint16_t>(unit));
    }
    out.bytes(e.md5);
    out.u16(e.kind);
    out.u16(e.verify);
    out.u32(e.size);
    out.u32(e.size2);
    return bytes;
}

std::uint32_t imageEndOffset(const std::wstring& path) {
    platform::File file(path, platform::FileMode::Read);
    std::uint32_t newHeader = 0;
    std::uint8_t magicBytes[2] = {};
    if (!file.isOpen() || !readU32(file, DOS_NEW_HEADER_FIELD, newHeader)) {
        return 0;
    }
    const std::uint64_t optionalHeader = std::uint64_t{newHeader} + PE_SIGNATURE_AND_FILE_HEADER;
    if (!file.seek(optionalHeader) ||
        file.read(magicBytes, sizeof magicBytes) != sizeof magicBytes) {
        return 0;
    }
    const std::uint16_t magic = FieldReader(magicBytes).u16();
    const std::uint32_t security = magic == PE32_PLUS_MAGIC ? PE32_PLUS_SECURITY_DIRECTORY : PE32_SECURITY_DIRECTORY;
    std::uint32_t certificateTable = 0;
    if (!readU32(file, optionalHeader + security, certificateTable)) {
        return 0;
    }
    if (certificateTable != 0) {
        return certificateTable;
    }
    std::uint64_t length = 0;
    if (!file.size(length) || length > UINT32_MAX) {
        return 0;
    }
    return static_cast<std::uint32_t>(length);
}

InstallResult locatePackage(InstallerContext& context) {
    if (context.initResult != RESULT_OK) {
        return context.initResult;
    }
    const std::uint32_t end = imageEndOffset(context.modulePath);
    InstallResult result = ERR_NO_TRAILER;
    std::uint32_t found = 0;
    {
        platform::File file(context.modulePath, platform::FileMode::Read);
        if (!file.isOpen()) {
            result = ERR_OPEN;
        }
        for (std::uint32_t i = 0; file.isOpen() && i < TRAILER_SEARCH_SPAN; ++i) {
            const std::int64_t candidate = std::int64_t{end} - std::int64_t{TRAILER_SIZE} - i;
            TrailerBytes bytes{};
            if (candidate < 0 || !file.seek(static_cast<std::uint64_t>(candidate)) ||
                file.read(bytes.data(), bytes.size()) != bytes.size()) {
                result = ERR_TRAILER_READ;
                break;
            }
            const PackageTrailer trailer = decodeTrailer(bytes);
            if (trailer.magic == PACKAGE_MAGIC) {
                context.trailer = trailer;
                found = i;
                result = RESULT_OK;
                break;
            }
        }
    }
    if (result != RESULT_OK) {
        clearRecord(context);
        return result;
    }
    const std::uint32_t trailerStart = end - found - static_cast<std::uint32_t>(TRAILER_SIZE);
    context.packageSize = context.trailer.packedSize;
    context.packageOffset = trailerStart - context.trailer.packedSize;
    return RESULT_OK;
}
