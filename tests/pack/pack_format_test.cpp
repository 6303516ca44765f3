// The format's shared pieces: the mix, the length fields, the name rule and
// the region a walk may read (the walk itself: fuzz_pack_walk.cpp).
#include <gtest/gtest.h>

#include <string>

#include "pack/pack_format.h"
#include "pack/pack_walk.h"

namespace {

TEST(MixBuffer, NegatesEachByteAndIsItsOwnInverse) {
    unsigned char bytes[] = {0x00, 0x01, 0x80, 0xFF};
    pack::MixBuffer(bytes, sizeof bytes);
    EXPECT_EQ(0x00, bytes[0]);
    EXPECT_EQ(0xFF, bytes[1]);
    EXPECT_EQ(0x80, bytes[2]);
    EXPECT_EQ(0x01, bytes[3]);
    pack::MixBuffer(bytes, sizeof bytes);
    EXPECT_EQ(0x00, bytes[0]);
    EXPECT_EQ(0x01, bytes[1]);
    EXPECT_EQ(0x80, bytes[2]);
    EXPECT_EQ(0xFF, bytes[3]);
}

// The word-at-a-time path must agree with the byte rule for every byte value,
// at every alignment and for every tail length.
TEST(MixBuffer, WordPathMatchesByteRuleAtAnyAlignmentAndLength) {
    std::string all;
    for (int i = 0; i < 256; ++i) all += (char)i;
    all += all;
    for (size_t start = 0; start < 9; ++start) {
        for (size_t length = 0; length < 40; ++length) {
            std::string bytes = all.substr(start, 256 + length);
            std::string before = bytes;
            pack::MixBuffer(&bytes[1], bytes.size() - 2);
            ASSERT_EQ(before[0], bytes[0]);
            ASSERT_EQ(before.back(), bytes.back());
            for (size_t i = 1; i + 1 < bytes.size(); ++i)
                ASSERT_EQ((unsigned char)(256 - (unsigned char)before[i]) & 0xFF,
                          (unsigned char)bytes[i]) << "start " << start << " index " << i;
        }
    }
}

TEST(LengthFields, AreLittleEndian) {
    unsigned char bytes[4];
    pack::WriteLe32(bytes, 0x11223344u);
    EXPECT_EQ(0x44, bytes[0]);
    EXPECT_EQ(0x11, bytes[3]);
    EXPECT_EQ(0x11223344u, pack::ReadLe32(bytes));
    pack::WriteLe32(bytes, 0xFFFFFFFFu);
    EXPECT_EQ(0xFFFFFFFFu, pack::ReadLe32(bytes));
}

TEST(EndName, IsAnExactCaseSensitiveMatch) {
    EXPECT_TRUE(pack::IsEndName("^Kivra_end^", 11));
    EXPECT_FALSE(pack::IsEndName("^kivra_end^", 11));
    EXPECT_FALSE(pack::IsEndName("^Kivra_end^x", 12));
    EXPECT_FALSE(pack::IsEndName("^Kivra_end", 10));
}

bool Safe(const std::string& name, int allowSubDir = 1) {
    return pack::IsSafeRecordName(name.data(), name.size(), allowSubDir) != 0;
}

TEST(RecordName, AcceptsPlainNamesAndExistingSubDirectories) {
    for (const char* name : {"7za.exe", "Qt.7z", "^Kivra_end^", ".gitkeep", "a b.txt", "x..y",
                             "CONSOLE.dll", "COM10", "LPT", "nul1.txt", "\xD6\xD0\xCE\xC4.txt"})
        EXPECT_TRUE(Safe(name)) << name;
    EXPECT_TRUE(Safe("data\\conn.xml"));
    EXPECT_TRUE(Safe("a\\b\\c"));
    EXPECT_TRUE(Safe(std::string(64, 'n')));
}

TEST(RecordName, RefusesEveryWayOutOfTheDestination) {
    for (const char* name :
         {"..\\..\\x.dll", "..\\..\\windows\\system32\\x.dll", "..", ".", "sub\\..\\..\\x",
          "../x.dll", "sub/../../x", "\\windows\\x.dll", "/etc/x", "\\\\server\\share\\x",
          "C:\\x.dll", "C:x.dll", "c:", "file.txt:stream", "file.txt::$DATA", "x\\", "\\",
          "a\\\\b", "... ", ".. ", "x.", "x ", "NUL", "nul.txt", "CON", "aux.dll", "COM1",
          "lpt9.txt", "sub\\PRN", "CONIN$", "NUL .txt", "*.dll", "a?b", "a<b", "a>b", "a|b",
          "a\"b", "a\tb", "a\rb", "a\nb", "a\x7f" "b"})
        EXPECT_FALSE(Safe(name)) << name;
    EXPECT_FALSE(Safe(std::string("a\0b", 3)));
    EXPECT_FALSE(Safe(""));
    EXPECT_FALSE(pack::IsSafeRecordName(nullptr, 0, 1));
}

TEST(RecordName, PlainModeRefusesAnySeparator) {
    EXPECT_TRUE(Safe("setup.ini", 0));
    EXPECT_FALSE(Safe("data\\conn.xml", 0));
    EXPECT_FALSE(Safe("data/conn.xml", 0));
}

// The carrier's size and the pack's offset: what the setup refuses with 155.
TEST(WalkBegin, RegionFitsOneWordAndFollowsTheOffset) {
    struct Case {
        uint64_t size;
        uint32_t offset;
        pack::Why why;
        uint64_t region;
    };
    const Case cases[] = {
        {0xFFFFFFFFull, 490000, pack::kWhyNone, 0xFFFFFFFFull - 490000},
        {1ull << 32, 490000, pack::kWhyTooLarge, 0},
        {490001, 490000, pack::kWhyNone, 1},
        {490000, 490000, pack::kWhyNoRegion, 0},
        {100, 490000, pack::kWhyNoRegion, 0},
        {0, 0, pack::kWhyNoRegion, 0},
    };
    for (const Case& c : cases) {
        pack::Walk walk;
        EXPECT_EQ(c.why == pack::kWhyNone, pack::WalkBegin(&walk, c.size, c.offset, 0) == 1) << c.size;
        EXPECT_EQ(c.why, walk.why) << c.size;
        EXPECT_EQ(c.region, walk.region) << c.size;
        EXPECT_EQ(c.why == pack::kWhyNone ? 0u : 155u, pack::StopCode(walk.why)) << c.size;
    }
}

}  // namespace
