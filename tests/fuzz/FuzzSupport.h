// What the fuzz targets share: a broken invariant ends the run loudly (libFuzzer keeps the input as a crash),
// and one scratch folder for the whole process.
#pragma once

#include "tests/unit/engine/EngineFixture.h"

namespace fuzzing {

// Prints what broke and aborts when the condition does not hold.
void require(bool condition, const char* what);

// Removed when the process ends.
const enginetest::ScratchDir& scratch();

}  // namespace fuzzing
