// A synthetic installer of the shipped package's shape: 74 entries (39 application files, three 64-bit and
// three 32-bit system files, 28 fonts, one per-user file), 22,313,714 bytes of data, content that deflates to
// about 47 % as fonts and binaries do, each entry asking for its placed file's digest to be checked. A scale factor makes the same package larger, file by file.
#pragma once

#include "engine/PackageFormat.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

struct SyntheticFile {
    std::wstring name;
    DestinationKind kind = DEST_INSTALL;
    std::uint64_t size = 0;
};

// The 74 files at the shipped sizes times scale.
std::vector<SyntheticFile> syntheticFiles(unsigned scale);

// What writeSyntheticInstaller wrote.
struct SyntheticInstaller {
    std::uint64_t packageOffset = 0;  // where the gzip member starts
    std::uint64_t unpackedSize = 0;
    std::uint64_t dataSize = 0;
    std::uint64_t packedSize = 0;
    std::uint64_t fileSize = 0;
};

// Streams the installer to path (a stub image, the gzip member, the trailer) without holding the package in
// memory; false when it cannot be written or does not fit the format's 32-bit sizes.
bool writeSyntheticInstaller(const std::string& path, const std::vector<SyntheticFile>& files,
                             SyntheticInstaller& written);

}  // namespace bench
