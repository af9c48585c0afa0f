#include "FuzzSupport.h"

#include <cstdio>
#include <cstdlib>

namespace fuzzing {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const enginetest::ScratchDir& scratch() {
    static const enginetest::ScratchDir folder;
    return folder;
}

}  // namespace fuzzing
