// The fonts the package carries for the Fonts folder: one row per font file, in the order of the package's
// Fonts entries (the file names' alphabetical order). Each font is listed in the system's font list under its
// display name, "Zeln" and the face name followed by " (OpenType)", with its bare eight-plus-three file name.
//
// The rows come from FontTable.tsv beside this header, which the demo payload also reads to make its fonts.
#pragma once

#include <array>
#include <cstddef>

struct FontRow {
    const wchar_t* displayName;
    const wchar_t* fileName;
};

constexpr std::size_t kFontCount = 28;

const std::array<FontRow, kFontCount>& fontTable();
