// The two extraction stages: the member copied out of the executable, then decompressed into the store
// with the trailer appended, and the progress they report.
#include "EngineFixture.h"

#include "engine/FilePlacement.h"
#include "engine/PayloadExtraction.h"
#include "engine/Progress.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;
namespace fs = std::filesystem;

TEST(ProgressArithmetic, ShippedPackageSizesGiveTheShippedPercentages) {
    // Stage 1 copies 10592015 bytes in 2048-byte chunks from 5; stage 2 writes 22354266 bytes against a data
    // area of 22313714 from 25: every value from 6 to 25 and from 26 to 45 exactly once, the last 45.036...
    constexpr std::uint32_t packed = 10592015, unpacked = 22354266, dataArea = 22313714;
    std::vector<int> sent;
    std::uint32_t last = 5;
    const auto stage = [&](std::uint32_t total, std::uint32_t denominator, std::uint32_t base) {
        for (std::uint32_t done = 0; done < total;) {
            done += std::min<std::uint32_t>(2048, total - done);
            const std::uint32_t p = extractionPercent(done, denominator, base);
            if (p != last) {
                sent.push_back(static_cast<int>(p));
                last = p;
            }
        }
    };
    stage(packed, packed, 5);
    EXPECT_EQ(range(6, 25), sent);
    sent.clear();
    stage(unpacked, dataArea, 25);
    EXPECT_EQ(range(26, 45), sent);
    // Single precision: 22352896 / 22313714 * 20 + 25 is 45.035..., and 45 is also the stage's end.
    EXPECT_EQ(45u, extractionPercent(22352896, dataArea, 25));
    EXPECT_EQ(44u, extractionPercent(22313714 - 23000, dataArea, 25));
}

TEST(ProgressArithmetic, StagesNeverRunPastTheirShareOrDivideByZero) {
    EXPECT_EQ(25u, extractionPercent(0, 0, 5));
    EXPECT_EQ(45u, extractionPercent(9000, 1000, 25));
    EXPECT_EQ(95u, placementPercent(0, 0, 55));
    EXPECT_EQ(95u, placementPercent(5000, 1000, 55));
    EXPECT_EQ(95u, placementPercent(22313714, 22313714, 55));
    EXPECT_EQ(74u, placementPercent(11156857 - 1, 22313714, 55));
    EXPECT_EQ(75u, placementPercent(11156857, 22313714, 55));
}

class Extraction : public ::testing::Test {
protected:
    InstallResult extract(Staged& staged) {
        staged.context.lastProgress = 5;
        return extractPayload(staged.context);
    }
};

TEST_F(Extraction, StoreHoldsThePackageThenTheTrailerAndTheArchiveIsGone) {
    const Installer installer = makeInstaller(
        {file(L"big.bin", DEST_INSTALL, noise(150000, 3)), file(L"sub\\small.txt", DEST_FONTS, noise(300, 4))});
    Staged staged(installer);
    EXPECT_EQ(RESULT_OK, extract(staged));
    Bytes expected = installer.unpacked;
    const TrailerBytes trailer = encodeTrailer(installer.trailer);
    expected.insert(expected.end(), trailer.begin(), trailer.end());
    EXPECT_EQ(expected, readFile(staged.temp() / "installer.dat"));
    EXPECT_FALSE(fs::exists(staged.temp() / "tmp.zip"));
    // The member is larger than 20 chunks and the directory small: each point of both stages once.
    std::vector<int> expectedProgress = range(6, 25);
    const std::vector<int> second = range(26, 45);
    expectedProgress.insert(expectedProgress.end(), second.begin(), second.end());
    EXPECT_EQ(expectedProgress, staged.listener.progress);
}

TEST_F(Extraction, EmptyMemberGivesAStoreOfTheTrailerOnly) {
    Installer installer = makeInstaller({file(L"a.txt", DEST_INSTALL, noise(10, 5))});
    installer.trailer.packedSize = 0;
    installer.bytes = pkgtool::installerBytes(programImage(false), {}, installer.trailer);
    Staged staged(installer);
    EXPECT_EQ(0u, staged.context.packageSize);
    EXPECT_EQ(RESULT_OK, extract(staged));
    EXPECT_EQ(TRAILER_SIZE, fs::file_size(staged.temp() / "installer.dat"));
    EXPECT_TRUE(staged.listener.progress.empty());
}

TEST_F(Extraction, MemberThatEndsEarlyStillSucceedsWithAShortStore) {
    Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(60000, 6))});
    const Bytes member(installer.bytes.begin() + 1024, installer.bytes.end() - TRAILER_SIZE);
    const Bytes cut(member.begin(), member.begin() + static_cast<std::ptrdiff_t>(member.size() / 2));
    installer.trailer.packedSize = static_cast<std::uint32_t>(cut.size());
    installer.bytes = pkgtool::installerBytes(programImage(false), cut, installer.trailer);
    Staged staged(installer);
    EXPECT_EQ(RESULT_OK, extract(staged));
    EXPECT_LT(fs::file_size(staged.temp() / "installer.dat"), installer.unpacked.size() + TRAILER_SIZE);
}

TEST_F(Extraction, CorruptMemberIsAWriteFailure) {
    Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(5000, 7))});
    installer.bytes[installer.bytes.size() - TRAILER_SIZE - 6] ^= 0xFF;  // inside the member's CRC
    Staged staged(installer);
    EXPECT_EQ(ERR_WRITE, extract(staged));
    EXPECT_FALSE(fs::exists(staged.temp() / "tmp.zip"));
}

TEST_F(Extraction, MissingExecutableOrMemberBeyondItsEnd) {
    const Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(5000, 8))});
    Staged missing(installer);
    missing.context.modulePath = missing.scratch.engine(L"absent.exe");
    EXPECT_EQ(ERR_OPEN, extract(missing));
    EXPECT_FALSE(fs::exists(missing.temp()));

    Staged beyond(installer);
    beyond.context.packageSize += 4096;
    EXPECT_EQ(ERR_READ, extract(beyond));
    EXPECT_FALSE(fs::exists(beyond.temp() / "tmp.zip"));
    EXPECT_FALSE(fs::exists(beyond.temp() / "installer.dat"));
}

TEST_F(Extraction, ArchiveThatCannotBeCreatedOrWritten) {
    const Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(30000, 9))});
    Staged blocked(installer);
    writeFile(blocked.slot(DEST_INSTALL), {1});  // a file where the install directory should be
    EXPECT_EQ(ERR_OPEN, extract(blocked));

    Staged full(installer);
    {
        const WriteLimit limit(10000);
        EXPECT_EQ(ERR_WRITE, extract(full));
    }
    EXPECT_FALSE(fs::exists(full.temp() / "tmp.zip"));

    Staged storeFull(installer);
    {
        // Room for the archive but not for the store and its trailer.
        const WriteLimit limit(installer.trailer.packedSize + 100);
        EXPECT_EQ(ERR_WRITE, extract(storeFull));
    }
    EXPECT_FALSE(fs::exists(storeFull.temp() / "tmp.zip"));
    EXPECT_TRUE(fs::exists(storeFull.temp() / "installer.dat"));
}

TEST_F(Extraction, WithoutATemporaryFolderNothingIsWritten) {
    const Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(100, 11))});
    Staged staged(installer);
    staged.context.tempDir.clear();
    EXPECT_EQ(ERR_OPEN, extract(staged));
    EXPECT_EQ(ERR_OPEN, placeFiles(staged.context, staged.journal));
}

TEST_F(Extraction, ExistingTemporaryFolderIsUsedAsItIs) {
    const Installer installer = makeInstaller({file(L"a.bin", DEST_INSTALL, noise(100, 10))});
    Staged staged(installer);
    fs::create_directories(staged.temp());
    EXPECT_EQ(RESULT_OK, extract(staged));
}

}  // namespace
