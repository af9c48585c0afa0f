// The percentages the install moves through while it copies bytes. The arithmetic is that of the shipped
// installer (single precision where it used single precision), so the interface sees the same values.
#pragma once

#include <cstdint>

// One 20-point extraction stage: done / total * 20 + base in single precision, truncated. A stage whose total
// is 0, or whose bytes run past the total, counts as complete at base + 20.
std::uint32_t extractionPercent(std::uint32_t done, std::uint32_t total, std::uint32_t base);

// The 40-point placement stage: done / total in single precision, then * 40 + base in double precision,
// truncated; never beyond base + 40.
std::uint32_t placementPercent(std::uint64_t done, std::uint32_t total, std::uint32_t base);

// A value rounded to single precision, also where the compiler would keep more (the 32-bit build's x87
// registers): 0.45f * 100 is 45 in single precision but 44.99999... in the x87's extended precision.
float singlePrecision(float value);
