// The trailer and directory records field by field, the end of the program image, and the search for the
// trailer before it.
#include "EngineFixture.h"

#include "engine/PackageFormat.h"

#include <gtest/gtest.h>

namespace {

using namespace enginetest;

TEST(PackageRecords, TrailerFieldsSitAtTheirOffsetsLittleEndian) {
    PackageTrailer t = trailerFor(Bytes(10), Bytes(3), 7);
    t.unpackedSize = 0x04030201;
    const TrailerBytes bytes = encodeTrailer(t);
    EXPECT_EQ((Bytes{0x5D, 0xE9, 0xC8, 0xBC, 0x17, 0x55, 0x72, 0x4B, 0xA8, 0x7D}), Bytes(bytes.begin(), bytes.begin() + 10));
    EXPECT_EQ(0x45, bytes[16]);
    EXPECT_EQ((Bytes{0xA8, 0x63, 0, 0}), Bytes(bytes.begin() + 32, bytes.begin() + 36));
    EXPECT_EQ(27, bytes[40]);
    EXPECT_EQ((Bytes{1, 2, 3, 4}), Bytes(bytes.begin() + 52, bytes.begin() + 56));
    EXPECT_EQ(7, bytes[56]);
    EXPECT_EQ(3, bytes[60]);
    EXPECT_EQ(10, bytes[88]);
    EXPECT_EQ((Bytes{0xd4, 0x1d, 0x8c, 0xd9}), Bytes(bytes.begin() + 96, bytes.begin() + 100));
    EXPECT_EQ(bytes, encodeTrailer(decodeTrailer(bytes)));
}

TEST(PackageRecords, EntryFieldsSitAtTheirOffsets) {
    PackageEntry e;
    e.name[0] = u'a';
    e.name[259] = u'z';
    e.md5[0] = 0xAB;
    e.kind = 0x0102;
    e.verify = 1;
    e.size = 0x0A0B0C0D;
    e.size2 = 5;
    const EntryBytes bytes = encodeEntry(e);
    EXPECT_EQ('a', bytes[0]);
    EXPECT_EQ('z', bytes[518]);
    EXPECT_EQ(0xAB, bytes[520]);
    EXPECT_EQ((Bytes{0x02, 0x01, 1, 0, 0x0D, 0x0C, 0x0B, 0x0A, 5, 0}), Bytes(bytes.begin() + 536, bytes.begin() + 546));
    const PackageEntry back = decodeEntry(bytes);
    EXPECT_EQ(e.name, back.name);
    EXPECT_EQ(e.size, back.size);
    EXPECT_EQ(e.kind, back.kind);
    EXPECT_EQ(bytes, encodeEntry(back));
}

class ImageEnd : public ::testing::Test {
protected:
    std::uint32_t endOf(const Bytes& bytes) {
        writeFile(scratch.path() / "image.exe", bytes);
        return imageEndOffset(scratch.engine(L"image.exe"));
    }
    ScratchDir scratch;
};

TEST_F(ImageEnd, SecurityDirectoryOfPe32AndPe32PlusOrTheFileLength) {
    for (const bool plus : {false, true}) {
        Bytes image = programImage(plus, 3000);
        EXPECT_EQ(3000u, endOf(image)) << plus;
        setCertificateTable(image, plus, 2048);
        EXPECT_EQ(2048u, endOf(image)) << plus;
    }
}

TEST_F(ImageEnd, ShortOrMissingHeadersGiveZero) {
    EXPECT_EQ(0u, imageEndOffset(scratch.engine(L"absent.exe")));
    EXPECT_EQ(0u, endOf(Bytes(40, 0)));
    Bytes image = programImage(false, 1024);
    image.resize(200);  // ends inside the optional header
    EXPECT_EQ(0u, endOf(image));
}

class Locate : public ::testing::Test {
protected:
    // An executable whose trailer is followed by padding bytes and then a certificate table.
    InstallResult locateWith(std::size_t padding, bool signedFile, bool pe32Plus = false) {
        installer = makeInstaller({file(L"a.txt", DEST_INSTALL, noise(500, 2))});
        Bytes bytes = programImage(pe32Plus);
        imageLength = bytes.size();
        const std::size_t memberLength = installer.trailer.packedSize;
        bytes.insert(bytes.end(), installer.bytes.begin() + 1024, installer.bytes.end());
        bytes.insert(bytes.end(), padding, 0);
        if (signedFile) {
            setCertificateTable(bytes, pe32Plus, static_cast<std::uint32_t>(bytes.size()));
            bytes.insert(bytes.end(), 600, 0x30);
        }
        EXPECT_EQ(imageLength + memberLength + TRAILER_SIZE + padding + (signedFile ? 600 : 0), bytes.size());
        writeFile(scratch.path() / "setup.exe", bytes);
        context.modulePath = scratch.engine(L"setup.exe");
        return locatePackage(context);
    }
    ScratchDir scratch;
    Installer installer;
    InstallerContext context;
    std::size_t imageLength = 0;
};

TEST_F(Locate, FindsTheTrailerRightBeforeTheEndOfTheImage) {
    EXPECT_EQ(RESULT_OK, locateWith(0, false));
    EXPECT_EQ(imageLength, context.packageOffset);
    EXPECT_EQ(installer.trailer.packedSize, context.packageSize);
    EXPECT_EQ(encodeTrailer(installer.trailer), encodeTrailer(context.trailer));
}

TEST_F(Locate, PaddingUpTo1023BytesBeforeTheCertificateTable) {
    for (const std::size_t padding : {std::size_t{1}, std::size_t{7}, std::size_t{1023}}) {
        context = InstallerContext{};
        EXPECT_EQ(RESULT_OK, locateWith(padding, true)) << padding;
        EXPECT_EQ(imageLength, context.packageOffset) << padding;
    }
    context = InstallerContext{};
    EXPECT_EQ(RESULT_OK, locateWith(1, true, true));
    EXPECT_EQ(imageLength, context.packageOffset);
}

TEST_F(Locate, PaddingOf1024BytesIsAMissAndClearsTheRecord) {
    context.directories[DEST_FONTS] = L"C:\\Windows\\Fonts";
    context.osType = OS_WIN7;
    EXPECT_EQ(ERR_NO_TRAILER, locateWith(1024, true));
    EXPECT_EQ(L"", context.directories[DEST_FONTS]);
    EXPECT_EQ(OS_WIN2000, context.osType);
    EXPECT_EQ(L"", context.modulePath);
    // The failure is final: a second search answers with it.
    context.initResult = ERR_NO_TRAILER;
    context.modulePath = scratch.engine(L"setup.exe");
    EXPECT_EQ(ERR_NO_TRAILER, locatePackage(context));
}

TEST_F(Locate, OnlyTheMagicDecides) {
    PackageTrailer zero;
    zero.magic = PACKAGE_MAGIC;
    zero.packedSize = 10;
    Bytes bytes = programImage(false);
    bytes.insert(bytes.end(), 10, 0x55);
    const TrailerBytes accepted = encodeTrailer(zero);
    bytes.insert(bytes.end(), accepted.begin(), accepted.end());
    writeFile(scratch.path() / "zero.exe", bytes);
    context.modulePath = scratch.engine(L"zero.exe");
    EXPECT_EQ(RESULT_OK, locatePackage(context));
    EXPECT_EQ(1024u, context.packageOffset);

    PackageTrailer wrong = trailerFor(Bytes(5), Bytes(5), 0);
    wrong.magic = PACKAGE_MAGIC + 1;
    Bytes other = programImage(false, 2000);
    const TrailerBytes rejected = encodeTrailer(wrong);
    other.insert(other.end(), rejected.begin(), rejected.end());
    writeFile(scratch.path() / "wrong.exe", other);
    InstallerContext second;
    second.modulePath = scratch.engine(L"wrong.exe");
    EXPECT_EQ(ERR_NO_TRAILER, locatePackage(second));
}

TEST_F(Locate, UnreadableAndShortExecutables) {
    context.modulePath = scratch.engine(L"absent.exe");
    EXPECT_EQ(ERR_OPEN, locatePackage(context));
    // Shorter than a trailer after a few candidates: the search runs off the start of the file.
    Bytes small = programImage(false);
    small.resize(300);
    writeFile(scratch.path() / "small.exe", small);
    InstallerContext second;
    second.modulePath = scratch.engine(L"small.exe");
    EXPECT_EQ(ERR_TRAILER_READ, locatePackage(second));
    // A certificate table said to lie beyond the end of the file.
    setCertificateTable(small, false, 5000);
    writeFile(scratch.path() / "beyond.exe", small);
    InstallerContext third;
    third.modulePath = scratch.engine(L"beyond.exe");
    EXPECT_EQ(ERR_TRAILER_READ, locatePackage(third));
}

}  // namespace
