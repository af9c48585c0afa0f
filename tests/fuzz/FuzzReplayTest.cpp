// Replays a fuzz target's kept corpus and the inputs that once broke it; a broken invariant aborts the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsIn(const fs::path& folder) {
    std::vector<fs::path> inputs;
    if (fs::is_directory(folder)) {
        for (const auto& item : fs::directory_iterator(folder)) {
            if (item.is_regular_file()) {
                inputs.push_back(item.path());
            }
        }
    }
    std::sort(inputs.begin(), inputs.end());
    return inputs;
}

std::size_t replay(const fs::path& folder) {
    const std::vector<fs::path> inputs = inputsIn(folder);
    for (const fs::path& input : inputs) {
        std::cout << "replaying " << input.filename().string() << std::endl;
        std::ifstream in(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    return inputs.size();
}

// The regressions folder holds the crash inputs found so far, each named after what it broke.
TEST(FuzzReplay, KeptCorpusAndCrashInputsHoldEveryInvariant) {
    EXPECT_GT(replay(ZELN_FUZZ_CORPUS), 0u);
    replay(ZELN_FUZZ_REGRESSIONS);
}

}  // namespace
