// kpack's carriers read back by utl_FileUnpack under Wine, and damaged packs
// that must fail cleanly, inside the destination, with one of the unpacker's
// codes.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "kpack.h"
#include "pack/pack_format.h"
#include "pack/unpack.h"
#include "support/pack_bytes.h"
#include "support/pack_damage.h"
#include "support/winsupport.h"

namespace {

const char kSandbox[] = "C:\\tmp\\kivra-roundtrip-test";

// Every path below root whose name holds word (a file written where it should
// not be would carry it).
void FindNamed(const std::string& root, const std::string& word, int depth, std::vector<std::string>* hits) {
    for (const std::string& n : ListDir(root)) {
        std::string path = root + "\\" + n;
        if (n.find(word) != std::string::npos) hits->push_back(path);
        DWORD a = GetFileAttributesA(path.c_str());
        if (depth > 0 && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) &&
            !(a & FILE_ATTRIBUTE_REPARSE_POINT))
            FindNamed(path, word, depth - 1, hits);
    }
}

class RoundTripTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kSandbox);
        MakeDirs(Path("payload"));
        MakeDirs(Path("dst"));
        ClearLogs();
    }
    void TearDown() override { RemoveTree(kSandbox); }
    std::string Path(const std::string& name) const { return std::string(kSandbox) + "\\" + name; }
};

TEST_F(RoundTripTest, KpackCarrierUnpacksByteIdentical) {
    // A few hundred files: the sizes around the chunk length, many small ones,
    // and a few of several megabytes.
    std::mt19937 rng(20240611);
    std::vector<size_t> sizes = {0, 1, 2, 4095, 4096, 4097, 8192, 8193, 65536};
    for (int i = 0; i < 280; ++i) sizes.push_back(rng() % 20000);
    for (int i = 0; i < 8; ++i) sizes.push_back(200000 + rng() % 300000);
    sizes.push_back(3 * 1024 * 1024 + 17);
    sizes.push_back(5 * 1024 * 1024);
    std::map<std::string, std::string> payload;
    for (size_t i = 0; i < sizes.size(); ++i) {
        std::string name = "file" + std::to_string(i) + (i % 3 ? ".bin" : ".dat");
        if (i == 7) name = std::string(64 - 4, 'L') + ".dll";
        payload[name] = RandomBytes(rng, sizes[i]);
        ASSERT_TRUE(WriteFileBytes(Path("payload\\" + name), payload[name]));
    }
    ASSERT_TRUE(WriteFileBytes(Path("Setup.exe"), PeCarrier() + RandomBytes(rng, 300000)));

    for (uint32_t offset : {pack::kSetupExeOffset, pack::kMsiCopyOffset}) {
        SCOPED_TRACE(offset);
        RemoveTree(Path("dst"));
        MakeDirs(Path("dst"));
        kpack::Result made = kpack::MakeCarrier(Path("payload"), Path("Setup.exe"), offset, Path("Setup-c.exe"));
        ASSERT_TRUE(made.ok()) << made.message;
        // A signature appended after the pack is ignored.
        std::string carrier = ReadFileBytes(Path("Setup-c.exe"));
        ASSERT_TRUE(WriteFileBytes(Path("Setup-c.exe"), carrier + "APPENDED SIGNATURE"));

        DWORD err = 0xC0FFEE;
        ASSERT_EQ(1, utl_FileUnpack(kSandbox, "Setup-c.exe", Path("dst").c_str(), &err, offset));
        EXPECT_EQ(0xC0FFEEu, err);
        std::vector<std::string> names = ListDir(Path("dst"));
        EXPECT_EQ(payload.size() + 1, names.size());
        for (const auto& file : payload)
            ASSERT_EQ(file.second, ReadFileBytes(Path("dst\\" + file.first))) << file.first;
        EXPECT_EQ("", ReadFileBytes(Path("dst\\^Kivra_end^")));
        ClearLogs();
    }
}

TEST_F(RoundTripTest, DamagedPacksFailCleanlyInsideTheDestination) {
    std::mt19937 rng(7);
    DamageBox box(kSandbox, rng);
    const int kRuns = 2500;
    std::map<DWORD, int> outcomes;
    for (int run = 0; run < kRuns; ++run) {
        std::string fault;
        ++outcomes[box.RunOne(rng, &fault)];
        ASSERT_EQ("", fault) << "run " << run;
        if (run % 500 == 499) ClearLogs();  // keeps each log line's append cheap
    }
    for (const auto& o : outcomes) std::printf("outcome %lu: %d runs\n", (unsigned long)o.first, o.second);
    EXPECT_GT(outcomes[0], 0);
    EXPECT_GT(outcomes[161], 0);
    EXPECT_GT(outcomes[163], 0);

    std::vector<std::string> hits;
    FindNamed("C:", "kivra_escape", 3, &hits);
    EXPECT_TRUE(hits.empty()) << hits.front();
}

}  // namespace
