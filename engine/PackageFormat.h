// The package that the installer carries after its own program image.
//
//   executable file
//   +-------------------------------+ 0
//   | program image (PE headers,    |
//   | sections)                     |
//   +-------------------------------+ packageOffset
//   | gzip member (RFC 1952,        |   packedSize bytes; flags 0, mtime 0, OS byte 11,
//   | deflate)                      |   ISIZE = unpackedSize
//   +-------------------------------+ packageOffset + packedSize
//   | PackageTrailer, 112 bytes     |
//   +-------------------------------+
//   | padding, 0..1023 bytes        |   puts a certificate table on its 8-byte boundary
//   +-------------------------------+ imageEndOffset: the security directory's file offset, or EOF
//   | certificate table (signed     |
//   | files only)                   |
//   +-------------------------------+ EOF
//
//   PackageTrailer (112 bytes, little-endian)
//     0  16  productCode         GUID (u32, u16, u16, 8 bytes)
//    16  16  upgradeCode         GUID
//    32   4  magic               u32 25512 (0x000063A8): the only field tested when searching
//    36  16  productVersion      four u32: major, minor, build, revision
//    52   4  unpackedSize        u32: length of the decompressed package
//    56   4  directoryOffset     u32: where the directory starts in the decompressed package
//    60   4  packedSize          u32: length of the gzip member
//    64  16  imeVersion          four u32
//    80  16  textServiceVersion  four u32
//    96  16  reserved            MD5 of zero bytes in the packages we build; never read
//
//   decompressed package (unpackedSize bytes)
//   +-------------------------------+ 0
//   | data area: each entry's bytes |   concatenated in directory order, no header or padding;
//   | in directory order            |   the entries' sizes add up to directoryOffset
//   +-------------------------------+ directoryOffset
//   | directory: PackageEntry x N   |   N = (unpackedSize - directoryOffset) / 548
//   +-------------------------------+ unpackedSize
//
//   PackageEntry (548 bytes, little-endian)
//     0 520  name     260 UTF-16LE units, NUL-terminated and NUL-padded: a backslash-separated path
//                     relative to the destination directory; its last component is the file name
//   520  16  md5      MD5 digest of the file's contents
//   536   2  kind     u16 DestinationKind
//   538   2  verify   u16: nonzero asks for the placed file's MD5 to be compared
//   540   4  size     u32: length of the file's data in the data area
//   544   4  size2    u32: equal to size; never read
#pragma once

#include "engine/InstallResult.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

struct InstallerContext;

constexpr std::uint32_t PACKAGE_MAGIC = 25512;
constexpr std::size_t TRAILER_SIZE = 112;
constexpr std::size_t ENTRY_SIZE = 548;
// Units of a path or an entry name, including the terminating NUL.
constexpr std::size_t PATH_UNITS = 260;
// How far before imageEndOffset the trailer may end: 0 to 1023 bytes of padding.
constexpr std::uint32_t TRAILER_SEARCH_SPAN = 1024;

// A GUID in the Windows binary layout.
struct PackageGuid {
    std::uint32_t data1 = 0;
    std::uint16_t data2 = 0;
    std::uint16_t data3 = 0;
    std::array<std::uint8_t, 8> data4{};
};

// major, minor, build, revision
using PackageVersion = std::array<std::uint32_t, 4>;

using Md5Digest = std::array<std::uint8_t, 16>;

struct PackageTrailer {
    PackageGuid productCode;
    PackageGuid upgradeCode;
    std::uint32_t magic = 0;
    PackageVersion productVersion{};
    std::uint32_t unpackedSize = 0;
    std::uint32_t directoryOffset = 0;
    std::uint32_t packedSize = 0;
    PackageVersion imeVersion{};
    PackageVersion textServiceVersion{};
    std::array<std::uint8_t, 16> reserved{};
};

// Destination directory of an entry: the slot of InstallerContext::directories it indexes.
using DestinationKind = std::uint16_t;

constexpr DestinationKind DEST_INSTALL = 0;           // the install directory
constexpr DestinationKind DEST_SYSNATIVE = 1;         // the 64-bit system directory seen from a 32-bit process
constexpr DestinationKind DEST_SYSTEM32 = 2;          // this 32-bit process's system directory
constexpr DestinationKind DEST_FONTS = 3;             // the Fonts folder
constexpr DestinationKind DEST_PROGRAM_FILES = 4;     // the 32-bit program files folder
constexpr DestinationKind DEST_PROGRAM_FILES_64 = 5;  // the 64-bit program files folder
constexpr DestinationKind DEST_ROAMING = 6;           // the user's roaming application-data folder
constexpr DestinationKind DEST_LOCAL = 7;             // its sibling Local
constexpr DestinationKind DEST_LOCAL_LOW = 8;         // its sibling LocalLow
constexpr DestinationKind DEST_APPDATA = 9;           // their parent folder
constexpr std::size_t DESTINATION_COUNT = 10;

struct PackageEntry {
    // UTF-16 code units exactly as stored; untrusted until checked.
    std::array<char16_t, PATH_UNITS> name{};
    Md5Digest md5{};
    DestinationKind kind = 0;
    std::uint16_t verify = 0;
    std::uint32_t size = 0;
    std::uint32_t size2 = 0;
};

using TrailerBytes = std::array<std::uint8_t, TRAILER_SIZE>;
using EntryBytes = std::array<std::uint8_t, ENTRY_SIZE>;

PackageTrailer decodeTrailer(const TrailerBytes& bytes);
TrailerBytes encodeTrailer(const PackageTrailer& trailer);
PackageEntry decodeEntry(const EntryBytes& bytes);
EntryBytes encodeEntry(const PackageEntry& entry);

// The file offset at which the area holding the package and its trailer ends: the start of the certificate
// table of a signed executable (PE32 or PE32+), else the file's length; 0 when the headers cannot be read.
std::uint32_t imageEndOffset(const std::wstring& path);

// Finds the trailer in the running executable (modulePath): it ends 0 to 1023 bytes before imageEndOffset.
// Fills trailer, packageOffset and packageSize; on failure (ERR_OPEN, ERR_TRAILER_READ, ERR_NO_TRAILER) the
// whole record is cleared. A failure already stored in initResult is returned at once.
InstallResult locatePackage(InstallerContext& context);
