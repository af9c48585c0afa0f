// Text conversions at the edges of pkgtool: UTF-8 from files and the command line, wide strings for the engine.
#pragma once

#include "engine/PackageFormat.h"

#include <string>

namespace pkgtool {

// Strict UTF-8 decoding; false on malformed input.
bool wideFromUtf8(const std::string& text, std::wstring& wide);
std::string utf8FromWide(const std::wstring& wide);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in either case; false when the text is not a braced GUID.
bool parseGuid(const std::string& text, PackageGuid& guid);
std::string guidText(const PackageGuid& guid);

// "a.b.c.d", four decimal numbers that fit 32 bits.
bool parseVersion(const std::string& text, PackageVersion& version);
std::string versionText(const PackageVersion& version);

std::string hexText(const std::uint8_t* bytes, std::size_t length);

}  // namespace pkgtool
