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

std::string RandomBytes(std::mt19937& rng, size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = (char)(rng() & 0xFF);
    return s;
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
    ASSERT_TRUE(WriteFileBytes(Path("Setup.exe"), "MZ" + RandomBytes(rng, 300000)));

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

// One damaged copy of a small pack: bytes flipped, cut, inserted or removed,
// a length field set to an edge value, or a name swapped for a hostile one.
std::string Damage(const std::string& pack, const std::vector<size_t>& heads, std::mt19937& rng) {
    static const char* const kHostile[] = {
        "..\\kivra_escape.txt", "..\\..\\kivra_escape.txt", "C:\\kivra_escape.txt", "\\kivra_escape.txt",
        "C:kivra_escape.txt", "sub\\..\\..\\kivra_escape.txt", "../kivra_escape.txt", "x:kivra_escape",
        "\\\\?\\C:\\kivra_escape.txt", "sub\\kivra_escape.txt", "nosub\\kivra_escape.txt"};
    static const uint32_t kEdges[] = {0, 1, 11, 63, 64, 65, 4095, 4096, 4097, 0x7FFFFFFF,
                                      0x80000000u, 0xFFFFFFF0u, 0xFFFFFFFFu};
    std::string p = pack;
    int kinds = 1 + (int)(rng() % 3);
    for (int k = 0; k < kinds; ++k) {
        switch (rng() % 7) {
            case 0:  // flip bytes
                for (int n = 1 + rng() % 4; n > 0 && !p.empty(); --n) p[rng() % p.size()] ^= (char)(1 + rng() % 255);
                break;
            case 1:  // cut the pack short
                p.resize(rng() % (p.size() + 1));
                break;
            case 2:  // insert bytes
                p.insert(rng() % (p.size() + 1), RandomBytes(rng, 1 + rng() % 9));
                break;
            case 3:  // remove bytes
                if (!p.empty()) p.erase(rng() % p.size(), 1 + rng() % 9);
                break;
            case 4:
            case 5: {  // a length field set to an edge value
                size_t at = heads[rng() % heads.size()] + (rng() % 2) * 4;
                if (at + 4 <= p.size())
                    pack::WriteLe32(reinterpret_cast<unsigned char*>(&p[at]), kEdges[rng() % (sizeof kEdges / 4)]);
                break;
            }
            default: {  // a hostile name in place of a record's, its lengths kept true
                size_t at = heads[rng() % heads.size()];
                if (at + 8 > p.size()) break;
                uint32_t nameLen = pack::ReadLe32(reinterpret_cast<const unsigned char*>(&p[at]));
                if (nameLen > 64 || at + 8 + nameLen > p.size()) break;
                std::string name = kHostile[rng() % (sizeof kHostile / sizeof *kHostile)];
                pack::MixBuffer(&name[0], name.size());
                p.replace(at + 8, nameLen, name);
                pack::WriteLe32(reinterpret_cast<unsigned char*>(&p[at]), (uint32_t)name.size());
                break;
            }
        }
    }
    return p;
}

TEST_F(RoundTripTest, DamagedPacksFailCleanlyInsideTheDestination) {
    std::mt19937 rng(7);
    ASSERT_TRUE(WriteFileBytes(Path("payload\\a.txt"), "alpha"));
    ASSERT_TRUE(WriteFileBytes(Path("payload\\empty"), ""));
    ASSERT_TRUE(WriteFileBytes(Path("payload\\chunky.bin"), RandomBytes(rng, 4100)));
    ASSERT_TRUE(WriteFileBytes(Path("carrier0"), "MZ"));
    ASSERT_TRUE(kpack::MakeCarrier(Path("payload"), Path("carrier0"), 64, Path("good")).ok());
    const std::string good = ReadFileBytes(Path("good"));
    const std::string prefix = good.substr(0, 64), pack = good.substr(64);
    // Where each record's lengths start in the pack.
    std::vector<size_t> heads;
    for (size_t at = pack::kMarkerLen; at + 8 <= pack.size();) {
        heads.push_back(at);
        at += 8 + pack::ReadLe32(reinterpret_cast<const unsigned char*>(&pack[at])) +
              (size_t)pack::ReadLe32(reinterpret_cast<const unsigned char*>(&pack[at + 4]));
    }
    ASSERT_EQ(4u, heads.size());

    const std::string dst = Path("box\\dst");
    MakeDirs(dst + "\\sub");
    const int kRuns = 2500;
    std::map<DWORD, int> outcomes;
    for (int run = 0; run < kRuns; ++run) {
        ASSERT_TRUE(WriteFileBytes(Path("box\\carrier.bin"), prefix + Damage(pack, heads, rng)));
        DWORD err = 0xC0FFEE;
        int ok = utl_FileUnpack(Path("box").c_str(), "carrier.bin", dst.c_str(), &err, 64);
        if (ok) {
            ASSERT_EQ(0xC0FFEEu, err) << "run " << run;
            ++outcomes[0];
        } else {
            ASSERT_TRUE(err >= 150 && err <= 166) << "run " << run << " code " << err;
            ++outcomes[err];
        }
        // Nothing beside the destination and the carrier, nothing escaped.
        ASSERT_EQ((std::vector<std::string>{"carrier.bin", "dst"}), ListDir(Path("box"))) << "run " << run;
        for (const std::string& n : ListDir(dst))
            ASSERT_EQ(std::string::npos, n.find("kivra_escape")) << "run " << run;
        for (const std::string& n : ListDir(dst + "\\sub")) DeleteFileA((dst + "\\sub\\" + n).c_str());
        for (const std::string& n : ListDir(dst))
            if (n != "sub") DeleteFileA((dst + "\\" + n).c_str());
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
