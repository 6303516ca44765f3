// The format's shared pieces: the mix, the length fields, the name rule, the
// region a walk may read and the setup's code for each way a pack stops (the
// walk's every step against a model: fuzz_pack_walk.cpp).
#include <gtest/gtest.h>

#include <string>

#include "pack/pack_format.h"
#include "pack/pack_walk.h"
#include "support/pack_bytes.h"

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
          "a\"b", "a\tb", "a\rb", "a\nb", "a\x1f" "b", "a\x7f" "b"})
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

// A region in memory that may hold fewer bytes than the carrier's size claims,
// as a carrier cut while it is read: reads past them come short.
class MemorySource : public pack::Source {
public:
    explicit MemorySource(const std::string& bytes) : bytes_(bytes) {}
    int Read(void* buffer, uint32_t length, uint32_t* got) override {
        *got = (uint32_t)bytes_.copy(static_cast<char*>(buffer), length, at_);
        at_ += *got;
        return 1;
    }

private:
    std::string bytes_;
    size_t at_ = 0;
};

// The setup's code for a walk of region (0: read to its end), its names joined
// to a directory of dirLen characters; the carrier claims claimed more bytes.
uint32_t WalkCode(const std::string& region, uint64_t dirLen = 0, uint64_t claimed = 0) {
    pack::Walk walk;
    if (!pack::WalkBegin(&walk, region.size() + claimed, 0, dirLen)) return pack::StopCode(walk.why);
    MemorySource source(region);
    for (;;) {
        const pack::Step step = pack::WalkNext(&walk, &source);
        if (step == pack::kStepEnd || step == pack::kStepFilled || step == pack::kStepStop)
            return pack::StopCode(walk.why);
    }
}

// Each way a pack stops is a code of its own in the setup's log.
TEST(WalkNext, EachDamageStopsWithTheSetupsCode) {
    const std::string good = Marker() + Record("a.txt", "hello");
    const std::string name64(64, 'n');
    EXPECT_EQ(0u, WalkCode(good + EndRecord() + "signature"));
    EXPECT_EQ(0u, WalkCode(good)) << "records that fill the region";
    EXPECT_EQ(0u, WalkCode(good + Record("big", std::string(5000, 'b')))) << "data in more than one chunk";
    EXPECT_EQ(159u, WalkCode(Marker().substr(0, 16)));
    EXPECT_EQ(160u, WalkCode(Mixed("^-=Kivra=-^ Reed!")));
    EXPECT_EQ(161u, WalkCode(good + Le32(1).substr(0, 3)));
    EXPECT_EQ(161u, WalkCode(Marker() + Record(std::string(65, 'n'), "")));
    EXPECT_EQ(161u, WalkCode(Marker() + Record("..\\x.dll", "")));
    EXPECT_EQ(162u, WalkCode(good + Le32(1) + "\x01"));
    EXPECT_EQ(163u, WalkCode(good + Record("b", "12").substr(0, 10)));
    EXPECT_EQ(164u, WalkCode(good + Head(5, 0) + Mixed("b.t"), 0, 2));
    EXPECT_EQ(165u, WalkCode(Marker() + Record("", "x")));
    EXPECT_EQ(166u, WalkCode(good + Head(1, 5000) + Mixed("b") + "x", 0, 4999));
    // A name and the directory it is joined to stay below 260 characters.
    EXPECT_EQ(0u, WalkCode(Marker() + Record(name64, "x") + EndRecord(), 195));
    EXPECT_EQ(161u, WalkCode(Marker() + Record(name64, "x") + EndRecord(), 196));
}

}  // namespace
