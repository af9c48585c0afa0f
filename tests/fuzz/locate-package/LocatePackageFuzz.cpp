// Any file as the running executable: the search for the package trailer must end with one of its documented
// results, read nothing outside the file, and leave either a located package or a cleared record.
#include "tests/fuzz/FuzzSupport.h"

#include "engine/InstallerContext.h"
#include "engine/PackageFormat.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::wstring executable = fuzzing::scratch().engine(L"setup.exe");
    enginetest::writeFile(enginetest::nativePath(executable), enginetest::Bytes(data, data + size));

    const std::uint32_t end = imageEndOffset(executable);
    fuzzing::require(end == 0 || size >= 64, "a file too short for its headers gives 0");

    InstallerContext context;
    context.modulePath = executable;
    const InstallResult result = locatePackage(context);
    fuzzing::require(result == RESULT_OK || result == ERR_TRAILER_READ || result == ERR_NO_TRAILER,
                     "the search ends with 0, 5 or 6");
    if (result != RESULT_OK) {
        fuzzing::require(context.modulePath.empty() && context.packageSize == 0 && context.trailer.magic == 0,
                         "a failed search clears the record");
        return 0;
    }
    fuzzing::require(context.trailer.magic == PACKAGE_MAGIC, "a located trailer carries the magic");
    fuzzing::require(context.packageSize == context.trailer.packedSize, "packageSize is the trailer's packedSize");
    // The trailer (where the member ends, in the engine's unsigned arithmetic) lies inside the file and ends at
    // most 1023 bytes before the end of the package area.
    const std::uint64_t trailerEnd = std::uint64_t{context.packageOffset + context.packageSize} + TRAILER_SIZE;
    fuzzing::require(trailerEnd <= size && trailerEnd <= end, "the trailer lies inside the package area");
    fuzzing::require(end - trailerEnd < TRAILER_SEARCH_SPAN, "the trailer is within the search span");
    return 0;
}
