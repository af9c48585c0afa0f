// Writes the package an installer carries: data area, directory, gzip member and trailer (the layout is drawn
// in engine/PackageFormat.h). The same inputs always give the same bytes.
#pragma once

#include "engine/PackageFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pkgtool {

using Bytes = std::vector<std::uint8_t>;

// One file of the package, in package order.
struct PackageFile {
    std::wstring name;
    DestinationKind kind = DEST_INSTALL;
    bool verify = false;
    Bytes content;
};

// The name as 260 NUL-padded UTF-16 units; false when it does not fit with its terminator.
bool encodeEntryName(const std::wstring& name, std::array<char16_t, PATH_UNITS>& units);

// The directory record of a file: its name, digest, kind, verify flag and size (size2 = size).
PackageEntry entryFor(const PackageFile& file);

// A record with the name's units exactly as given, unchecked (size2 = size): for packages made by hand.
PackageEntry rawEntry(const std::u16string& name, DestinationKind kind, std::uint32_t size);

// The decompressed package: every file's content in order, then the directory.
Bytes decompressedPackage(const std::vector<PackageFile>& files);
Bytes decompressedPackage(const std::vector<PackageEntry>& entries, const Bytes& dataArea);

// One gzip member of data: deflate, header flags 0, modification time 0, operating-system byte 11.
Bytes gzipMember(const Bytes& data);

// The digest the trailer's reserved field carries: MD5 of zero bytes.
std::array<std::uint8_t, 16> reservedDigest();

// stub, then the member, then the trailer.
Bytes installerBytes(const Bytes& stub, const Bytes& member, const PackageTrailer& trailer);

}  // namespace pkgtool
