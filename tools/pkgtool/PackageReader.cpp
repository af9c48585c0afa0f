#include "tools/pkgtool/PackageReader.h"

#include "engine/FilePlacement.h"
#include "engine/InstallerContext.h"
#include "engine/Md5.h"
#include "platform/Files.h"
#include "tools/pkgtool/Text.h"

#include <zlib.h>

namespace pkgtool {

namespace {

constexpr int kGzipOnly = 15 + 16;

bool inflateMember(const Bytes& member, std::uint32_t expectedSize, Bytes& out, std::string& error) {
    z_stream stream{};
    if (inflateInit2(&stream, kGzipOnly) != Z_OK) {
        error = "cannot start the decompressor";
        return false;
    }
    out.clear();
    stream.next_in = const_cast<Bytef*>(member.data());
    stream.avail_in = static_cast<uInt>(member.size());
    std::uint8_t buffer[65536];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), buffer, buffer + (sizeof buffer - stream.avail_out));
        if (status == Z_BUF_ERROR && stream.avail_in == 0) {
            break;
        }
    }
    const uInt leftOver = stream.avail_in;
    inflateEnd(&stream);
    if (status != Z_STREAM_END) {
        error = status == Z_DATA_ERROR ? "gzip member is corrupt (bad data, CRC or length)" : "gzip member ends early";
        return false;
    }
    if (leftOver != 0) {
        error = "gzip member is followed by " + std::to_string(leftOver) + " bytes before the trailer";
        return false;
    }
    if (out.size() != expectedSize) {
        error = "decompressed length " + std::to_string(out.size()) + " differs from unpackedSize " +
                std::to_string(expectedSize);
        return false;
    }
    return true;
}

}  // namespace

InstallResult locateInstallerPackage(const std::wstring& installer, InstallerPackage& package) {
    InstallerContext context;
    context.modulePath = installer;
    const InstallResult result = locatePackage(context);
    if (result == RESULT_OK) {
        package.trailer = context.trailer;
        package.memberOffset = context.packageOffset;
        package.trailerOffset = context.packageOffset + context.packageSize;
    }
    return result;
}

bool readInstallerPackage(const std::wstring& installer, InstallerPackage& package, std::string& error) {
    const InstallResult located = locateInstallerPackage(installer, package);
    if (located != RESULT_OK) {
        error = "no package found (result " + std::to_string(located) + ")";
        return false;
    }
    if (package.trailer.packedSize > package.trailerOffset) {
        error = "packedSize " + std::to_string(package.trailer.packedSize) + " is larger than all that precedes the trailer";
        return false;
    }
    platform::File file(installer, platform::FileMode::Read);
    Bytes member(package.trailer.packedSize);
    if (!file.seek(package.memberOffset) || file.read(member.data(), member.size()) != member.size()) {
        error = "the gzip member lies outside the file";
        return false;
    }
    if (!inflateMember(member, package.trailer.unpackedSize, package.unpacked, error)) {
        return false;
    }
    const PackageTrailer& t = package.trailer;
    if (t.directoryOffset > t.unpackedSize || (t.unpackedSize - t.directoryOffset) % ENTRY_SIZE != 0 ||
        t.unpackedSize == t.directoryOffset) {
        error = "the directory (" + std::to_string(t.unpackedSize) + " - " + std::to_string(t.directoryOffset) +
                " bytes) is not a whole number of records";
        return false;
    }
    package.entries.clear();
    for (std::size_t at = t.directoryOffset; at < package.unpacked.size(); at += ENTRY_SIZE) {
        EntryBytes bytes{};
        std::copy(package.unpacked.begin() + static_cast<std::ptrdiff_t>(at),
                  package.unpacked.begin() + static_cast<std::ptrdiff_t>(at + ENTRY_SIZE), bytes.begin());
        package.entries.push_back(decodeEntry(bytes));
    }
    return true;
}

std::vector<std::string> packageFaults(const InstallerPackage& package) {
    std::vector<std::string> faults;
    std::uint64_t at = 0;
    for (std::size_t i = 0; i < package.entries.size(); ++i) {
        const PackageEntry& entry = package.entries[i];
        const std::string label = "entry " + std::to_string(i);
        std::wstring name;
        if (!entryRelativePath(entry, name)) {
            faults.push_back(label + ": the installer would refuse its name or kind");
        }
        if (at + entry.size > package.trailer.directoryOffset) {
            faults.push_back(label + ": its data run past the data area");
            break;
        }
        const Md5Digest digest = md5Of(package.unpacked.data() + at, entry.size);
        if (digest != entry.md5) {
            faults.push_back(label + ": MD5 " + hexText(digest.data(), digest.size()) + " differs from the record's " +
                             hexText(entry.md5.data(), entry.md5.size()));
        }
        at += entry.size;
    }
    if (faults.empty() && at != package.trailer.directoryOffset) {
        faults.push_back("entry sizes add up to " + std::to_string(at) + ", not to directoryOffset " +
                         std::to_string(package.trailer.directoryOffset));
    }
    return faults;
}

}  // namespace pkgtool
