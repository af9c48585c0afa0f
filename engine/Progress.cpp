#include "engine/Progress.h"

namespace {

constexpr std::uint32_t kExtractionPoints = 20;
constexpr std::uint32_t kPlacementPoints = 40;

// Every intermediate value is stored at its own precision, also where the compiler would keep more (x87).
float single(float value) { return singlePrecision(value); }

double doublePrecision(double value) {
    volatile double stored = value;
    return stored;
}

}  // namespace

float singlePrecision(float value) {
    volatile float stored = value;
    return stored;
}

std::uint32_t extractionPercent(std::uint32_t done, std::uint32_t total, std::uint32_t base) {
    const std::uint32_t limit = base + kExtractionPoints;
    if (total == 0) {
        return limit;
    }
    const float ratio = single(single(static_cast<float>(done)) / single(static_cast<float>(total)));
    const float percent = single(single(ratio * single(static_cast<float>(kExtractionPoints))) +
                                 single(static_cast<float>(base)));
    return percent < single(static_cast<float>(limit)) ? static_cast<std::uint32_t>(percent) : limit;
}

std::uint32_t placementPercent(std::uint64_t done, std::uint32_t total, std::uint32_t base) {
    const std::uint32_t limit = base + kPlacementPoints;
    if (total == 0) {
        return limit;
    }
    const float ratio = single(single(static_cast<float>(done)) / single(static_cast<float>(total)));
    const double percent = doublePrecision(doublePrecision(static_cast<double>(ratio) * kPlacementPoints) + base);
    return percent < limit ? static_cast<std::uint32_t>(percent) : limit;
}
