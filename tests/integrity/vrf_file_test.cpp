// Verification files in memory: the salt expansion, the digest input and the
// images the build-side tool writes and the setup checks.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "hex.h"
#include "integrity/md5.h"
#include "integrity/vrf_file.h"

namespace {

std::string Expand(const std::string& in, unsigned capacity = 100) {
    unsigned char out[100];
    unsigned length = 0;
    if (!VrfSaltExpand(Bytes(in), (unsigned)in.size(), out, capacity, &length)) return "fail";
    return std::string((char*)out, length);
}

TEST(VrfSalt, ExpansionRules) {
    EXPECT_EQ("fail", Expand("12345"));
    EXPECT_EQ("fail", Expand(std::string(21, 'a')));
    EXPECT_EQ("fail", Expand("123456", 29));
    EXPECT_EQ(30u, Expand("123456", 30).size());
    EXPECT_EQ(100u, Expand(std::string(20, 'a')).size());
    unsigned char out[30];
    unsigned length;
    EXPECT_EQ(0, VrfSaltExpand(nullptr, 6, out, 30, &length));
    EXPECT_EQ(0, VrfSaltExpand(Bytes("123456"), 6, out, 30, nullptr));

    // Positions are taken mod 128: v and v + 128 give the same bytes, and input
    // byte 0 never moves, so it repeats one table entry five times.
    std::string low("\x05\x10\x20\x30\x40\x50", 6), high = low;
    for (char& c : high) c = (char)(c + 128);
    EXPECT_EQ(Expand(low), Expand(high));
    std::string s = Expand(low);
    EXPECT_EQ(std::string(5, s[0]), s.substr(0, 5));
    // Byte 1 with value v walks v+1 .. v+5; byte 0 with value v+3 stands on v+3.
    std::string walk("\x08\x04\x00\x00\x00\x00", 6);
    EXPECT_EQ(Expand(walk)[0], Expand(walk)[5 + 3]);
}

TEST(VrfSalt, SaltIsThirtyBytesAndStable) {
    unsigned char a[kVrfSaltSize], b[kVrfSaltSize];
    ASSERT_EQ(1, VrfBuildSalt(a));
    ASSERT_EQ(1, VrfBuildSalt(b));
    EXPECT_EQ(0, memcmp(a, b, sizeof a));
}

// The digest is MD5 over file || R || block || salt, the salt being the only
// part this test cannot see. The pinned value guards the built-in seed and
// table: if it changes, every verification file ever shipped stops verifying.
TEST(VrfDigest, InputLayoutAndPinnedValue) {
    std::string file = "[Functions]\r\nUninstall=1\r\n";
    unsigned char r[kVrfRandomSize], block[kVrfBlockSize], digest[16];
    for (unsigned i = 0; i < kVrfRandomSize; ++i) r[i] = (unsigned char)(i % 255);
    VrfDefaultBlock(block);
    EXPECT_EQ(0xFF, block[0]);
    EXPECT_EQ(std::string(31, '\0'), std::string((char*)block + 1, 31));

    ASSERT_EQ(1, VrfDigest(Bytes(file), file.size(), r, block, digest));
    EXPECT_EQ("03d7b4ccad07a911b49aa25c7b39a594", ToHex(digest, 16));

    // The salt is wiped from the assembly area after use: it never lies whole
    // in memory for longer than the digest takes.
    const unsigned char* salt = VrfAssemblyArea() + file.size() + sizeof r + sizeof block;
    EXPECT_EQ(std::string(kVrfSaltSize, '\0'), std::string((const char*)salt, kVrfSaltSize));

    // The file may be read straight into the area.
    unsigned char again[16];
    memcpy(VrfAssemblyArea(), file.data(), file.size());
    ASSERT_EQ(1, VrfDigest(VrfAssemblyArea(), file.size(), r, block, again));
    EXPECT_EQ(0, memcmp(digest, again, 16));
}

TEST(VrfImage, LimitsAndTampering) {
    unsigned char r[kVrfRandomSize], block[kVrfBlockSize], image[kVrfFileSize];
    memset(r, 7, sizeof r);
    VrfDefaultBlock(block);
    std::string limit(kVrfMaxGuardedSize, 'x');
    ASSERT_EQ(1, VrfMakeImage(Bytes(limit), limit.size(), r, block, image));
    EXPECT_EQ(0, memcmp(image, r, sizeof r));
    EXPECT_EQ(1, VrfCheckImage(Bytes(limit), limit.size(), image, sizeof image, block));
    std::string over = limit + "x";
    EXPECT_EQ(0, VrfMakeImage(Bytes(over), over.size(), r, block, image));
    EXPECT_EQ(0, VrfCheckImage(Bytes(over), over.size(), image, sizeof image, block));

    ASSERT_EQ(1, VrfMakeImage(nullptr, 0, r, block, image)) << "an empty guarded file";
    EXPECT_EQ(1, VrfCheckImage(nullptr, 0, image, sizeof image, block));
    EXPECT_EQ(0, VrfCheckImage(nullptr, 0, image, 255, block));
    EXPECT_EQ(0, VrfCheckImage(nullptr, 0, image, 257, block));
    for (unsigned at : {0u, 239u, 240u, 255u}) {
        image[at] ^= 1;
        EXPECT_EQ(0, VrfCheckImage(nullptr, 0, image, sizeof image, block)) << at;
        image[at] ^= 1;
    }
    r[100] = 255;
    EXPECT_EQ(0, VrfMakeImage(nullptr, 0, r, block, image)) << "R bytes are 0 to 254";
}

TEST(VrfImage, IconBlock) {
    std::string icon(543, '\0');
    for (size_t i = 0; i < icon.size(); ++i) icon[i] = (char)(i * 7);
    unsigned char block[kVrfBlockSize];
    VrfDefaultBlock(block);
    EXPECT_EQ(0, VrfIconBlock(Bytes(icon), icon.size(), block)) << "543 bytes are too few";
    EXPECT_EQ(0xFF, block[0]);
    icon += 'z';
    EXPECT_EQ(1, VrfIconBlock(Bytes(icon), icon.size(), block));
    EXPECT_EQ(icon.substr(512, 32), std::string((char*)block, 32));

    unsigned char r[kVrfRandomSize] = {0}, plain[kVrfBlockSize], image[kVrfFileSize];
    VrfDefaultBlock(plain);
    ASSERT_EQ(1, VrfMakeImage(Bytes(icon), 10, r, block, image));
    EXPECT_EQ(1, VrfCheckImage(Bytes(icon), 10, image, sizeof image, block));
    EXPECT_EQ(0, VrfCheckImage(Bytes(icon), 10, image, sizeof image, plain));
}

} // namespace
