// Puts every packaged file in its destination and checks the result.
//
// placeFiles reads the directory from the unpacked store, copies each entry's data to "%s\\%s" of tempDir and
// the entry's base name, and moves that file to "%s\\%s" of its destination slot and its name (progress
// base .. base + 40), through the run's journal: a product file that is there already is set aside and
// replaced, or, when it can be neither replaced nor renamed, replaced at the next restart by the new file
// waiting beside it; a per-user file that is there already is the user's and stays. verifyFiles checks the
// files that are, or after the restart will be, in place.
#pragma once

#include "engine/InstallResult.h"
#include "engine/PackageFormat.h"

#include <cstdint>
#include <string>

class ChangeJournal;
struct InstallerContext;
enum class Placement : std::uint8_t;

// The entry's name as a relative path, when the entry is safe to act on: a destination kind of the table, a
// NUL-terminated name of backslash-separated components, none empty, "." or "..", with no colon, slash or
// control character, no component ending in a dot or space (Windows would drop them), no unpaired surrogate,
// no device name (CON, NUL, COM1, ...), and a base name that is not the unpacked store's. False otherwise.
bool entryRelativePath(const PackageEntry& entry, std::wstring& name);

// The part of a name after its last backslash; the whole name when it has none.
std::wstring baseName(const std::wstring& name);

// ERR_OPEN (no store), ERR_EMPTY_DIRECTORY (no record), ERR_DIRECTORY_READ (the directory cannot be read whole,
// its length is not a multiple of 548, an entry is unsafe, or the entries' sizes do not add up to
// directoryOffset: nothing is written then), ERR_ENTRY_CREATE, ERR_READ, ERR_WRITE (also: a file that cannot
// be moved into place), ERR_CREATE_DIRECTORY, ERR_CANCELLED (the user ended the install before an entry), or
// RESULT_OK. The store, a half-written temporary file and, when empty, tempDir are removed in every case.
InstallResult placeFiles(InstallerContext& context, ChangeJournal& journal);

// RESULT_OK, ERR_MISSING_FILE, ERR_VERIFY_OPEN or ERR_MD5_MISMATCH for the first entry that fails.
InstallResult verifyFiles(const InstallerContext& context);

// Takes the next PlacedFile slot; ignored once every entry has one.
void recordPlacedFile(InstallerContext& context, const std::wstring& path, DestinationKind kind,
                      Placement placement);
