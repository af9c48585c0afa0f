// Reads an installer's package the way the installer finds it, for listing and checking.
#pragma once

#include "tools/pkgtool/PackageWriter.h"

#include <string>
#include <vector>

namespace pkgtool {

struct InstallerPackage {
    PackageTrailer trailer;
    std::uint32_t memberOffset = 0;
    std::uint32_t trailerOffset = 0;
    Bytes unpacked;
    std::vector<PackageEntry> entries;
};

// Finds the trailer (InstallResult of the search; RESULT_OK when found).
InstallResult locateInstallerPackage(const std::wstring& installer, InstallerPackage& package);

// Decompresses the member (gzip CRC and length checked by the decompressor, and the length against the
// trailer) and reads the directory. False with a message saying what is wrong.
bool readInstallerPackage(const std::wstring& installer, InstallerPackage& package, std::string& error);

// Every consistency check on a package read above: sizes against the data area, safe entries, digests.
// Empty when sound, else one line per fault.
std::vector<std::string> packageFaults(const InstallerPackage& package);

}  // namespace pkgtool
