#include "EngineFixture.h"

#include "engine/Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace enginetest;

std::string hex(const Md5Digest& digest) {
    std::string out;
    char two[3];
    for (const auto b : digest) {
        std::snprintf(two, sizeof two, "%02x", b);
        out += two;
    }
    return out;
}

std::string md5Text(const std::string& text) {
    return hex(md5Of(text.data(), text.size()));
}

TEST(Md5, TestSuiteOfRfc1321) {
    EXPECT_EQ("d41d8cd98f00b204e9800998ecf8427e", md5Text(""));
    EXPECT_EQ("0cc175b9c0f1b6a831c399e269772661", md5Text("a"));
    EXPECT_EQ("900150983cd24fb0d6963f7d28e17f72", md5Text("abc"));
    EXPECT_EQ("f96b697d7cb7938d525a2f31aaf161d0", md5Text("message digest"));
    EXPECT_EQ("c3fcd3d76192e4007dfb496cca67e13b", md5Text("abcdefghijklmnopqrstuvwxyz"));
    EXPECT_EQ("d174ab98d277d9f5a5611c2c9f419d9f",
              md5Text("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"));
    EXPECT_EQ("57edf4a22be3c955ac49da2e2107b67a",
              md5Text("12345678901234567890123456789012345678901234567890123456789012345678901234567890"));
}

TEST(Md5, FedInPiecesItEqualsTheWholeAndAFileStreamsTheSame) {
    const Bytes data = noise(5000, 9);
    Md5 pieces;
    for (std::size_t at = 0; at < data.size(); at += 37) {
        pieces.update(data.data() + at, std::min<std::size_t>(37, data.size() - at));
    }
    const Md5Digest whole = md5Of(data.data(), data.size());
    EXPECT_EQ(whole, pieces.finish());

    ScratchDir scratch;
    for (const std::size_t length : {std::size_t{0}, std::size_t{55}, std::size_t{64}, std::size_t{1024},
                                     std::size_t{5000}}) {
        const Bytes part(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
        writeFile(scratch.path() / "f.bin", part);
        Md5Digest digest{};
        EXPECT_EQ(0, md5File(scratch.engine(L"f.bin"), digest));
        EXPECT_EQ(md5Of(part.data(), part.size()), digest) << length;
    }
    Md5Digest untouched{};
    EXPECT_EQ(1, md5File(scratch.engine(L"absent.bin"), untouched));
}

}  // namespace
