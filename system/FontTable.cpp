#include "system/FontTable.h"

const std::array<FontRow, kFontCount>& fontTable() {
    static const std::array<FontRow, kFontCount> rows = {
#include "system/FontTableRows.inc"
    };
    return rows;
}
