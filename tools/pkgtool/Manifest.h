// The manifest a package is built from (JSON):
//   {
//     "productCode": "{BCC8E95D-5517-4B72-A87D-8ADE002BC46D}",   braced GUID
//     "upgradeCode": "{D4DE9A45-5F90-44FC-BF02-33B480255BD1}",
//     "productVersion": "7.27.1.0", "imeVersion": "7.27.1.0", "textServiceVersion": "1.3.10.0",
//     "files": [ { "source": "bin/tool.exe",       relative to the manifest's folder
//                  "name": "bin\\tool.exe",        as installed below its destination
//                  "kind": 0,                      DestinationKind 0..9
//                  "verify": false }, ... ]        in package order
//   }
#pragma once

#include "tools/pkgtool/PackageWriter.h"

#include <filesystem>
#include <string>
#include <vector>

namespace pkgtool {

struct Manifest {
    PackageGuid productCode;
    PackageGuid upgradeCode;
    PackageVersion productVersion{};
    PackageVersion imeVersion{};
    PackageVersion textServiceVersion{};
    std::vector<PackageFile> files;
};

// Reads the manifest and every source file it names. False with a message naming the faulty entry.
bool loadManifest(const std::filesystem::path& path, Manifest& manifest, std::string& error);

}  // namespace pkgtool
