// The result of every engine and system step: a 16-bit signed code, 0 for success. The install sequence
// stops at the first nonzero result and hands it to the interface with WM_INSTALL_FAILURE.
#pragma once

#include <cstdint>

using InstallResult = std::int16_t;

constexpr InstallResult RESULT_OK = 0;
// An input-method window did not answer in time, or an outdated module could not be deleted.
constexpr InstallResult ERR_PRECHECK = 2;
// The executable, the temporary archive, the gzip reader or the unpacked store could not be opened or created.
constexpr InstallResult ERR_OPEN = 4;
// A 112-byte read of a trailer candidate came up short.
constexpr InstallResult ERR_TRAILER_READ = 5;
// No trailer in the 1024 positions searched.
constexpr InstallResult ERR_NO_TRAILER = 6;
// The package directory has no record.
constexpr InstallResult ERR_EMPTY_DIRECTORY = 7;
// The package directory could not be read completely, one of its records is unsafe to act on, or the records'
// sizes do not add up to the data area.
constexpr InstallResult ERR_DIRECTORY_READ = 8;
// An entry's temporary file could not be created (or its path does not fit).
constexpr InstallResult ERR_ENTRY_CREATE = 11;
// A read from the executable or the unpacked store returned fewer bytes than asked.
constexpr InstallResult ERR_READ = 12;
// A write returned fewer bytes than given, or the decompressor reported an error.
constexpr InstallResult ERR_WRITE = 13;
// A missing directory could not be created (or a destination path does not fit).
constexpr InstallResult ERR_CREATE_DIRECTORY = 14;
// A placed file could not be opened for its digest.
constexpr InstallResult ERR_VERIFY_OPEN = 15;
// A placed file's MD5 differs from its directory record.
constexpr InstallResult ERR_MD5_MISMATCH = 16;
// A placed file does not exist.
constexpr InstallResult ERR_MISSING_FILE = 17;
// A registry key could not be opened or created, or a value could not be written.
constexpr InstallResult ERR_REGISTRY = 18;

// The user closed the wizard during the install: everything it had changed is undone. The number is the one
// deployment tools know for an install the user ended.
constexpr InstallResult ERR_CANCELLED = 1602;

// Results of the two start-up steps that nobody sends to the interface: initialisation goes on after them.
// The Windows edition is not one the destination table supports.
constexpr InstallResult ERR_UNSUPPORTED_EDITION = 1;
// The version query failed.
constexpr InstallResult ERR_VERSION_QUERY = 3;
