// Turns the gzip member inside the executable into the unpacked store that file placement reads:
//   stage 1: the member is copied byte for byte into "tmp.zip" in tempDir       (progress base .. base + 20)
//   stage 2: "tmp.zip" is decompressed into "installer.dat", then the trailer    (progress .. + 20)
//            bytes are appended
// "tmp.zip" is deleted when the step ends; "installer.dat" stays for placement.
#pragma once

#include "engine/InstallResult.h"

struct InstallerContext;

constexpr wchar_t ARCHIVE_NAME[] = L"tmp.zip";
constexpr wchar_t STORE_NAME[] = L"installer.dat";

// ERR_OPEN (executable, archive, gzip reader or store), ERR_READ (executable ends early), ERR_WRITE (short
// write, or a decompression error), ERR_CREATE_DIRECTORY (tempDir could not be made; the store is still
// written), or RESULT_OK.
InstallResult extractPayload(InstallerContext& context);
