// kpack's library and command line on the host: what it packs, what it
// refuses, how it stamps a carrier and how it judges a carrier's pack.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kpack.h"
#include "pack/pack_format.h"
#include "support/host_files.h"
#include "support/pack_bytes.h"

namespace fs = std::filesystem;

namespace {

class KpackTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kpack-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root_ = pattern;
        payload_ = root_ / "payload";
        fs::create_directory(payload_);
    }
    void TearDown() override { fs::remove_all(root_); }

    std::string P(const std::string& name) const { return (root_ / name).string(); }

    fs::path root_;
    fs::path payload_;
};

TEST_F(KpackTest, PackHoldsMarkerSortedRecordsAndEndRecord) {
    WriteAll(payload_ / "b.bin", std::string("\x00\x01\x80\xff", 4));
    WriteAll(payload_ / "a.txt", "hello");
    WriteAll(payload_ / "empty", "");
    ASSERT_TRUE(kpack::PackFolder(payload_.string(), P("out.pack")).ok());

    std::string expected = Marker() + Record("a.txt", "hello") +
                           Record("b.bin", std::string("\x00\x01\x80\xff", 4)) + Record("empty", "") +
                           Record("^Kivra_end^", "");
    EXPECT_EQ(expected, ReadAll(P("out.pack")));
}

// A record's length is the size collected: a file that grew or shrank since
// would leave the pack's lengths wrong, so the pack fails instead.
TEST_F(KpackTest, AFileThatChangesWhileItIsPackedFailsThePack) {
    WriteAll(payload_ / "a.txt", "hello");
    std::vector<kpack::PayloadFile> files;
    ASSERT_TRUE(kpack::CollectPayload(payload_.string(), &files).ok());
    for (const char* now : {"hello!", "hell"}) {
        WriteAll(payload_ / "a.txt", now);
        std::FILE* out = std::tmpfile();
        ASSERT_NE(nullptr, out);
        kpack::Result r = kpack::WritePack(files, out, "out");
        std::fclose(out);
        EXPECT_EQ(kpack::kIoError, r.code) << now;
        EXPECT_NE(std::string::npos, r.message.find("a.txt changed while it was packed")) << r.message;
    }
}

TEST_F(KpackTest, RefusesWhatAPackCannotCarry) {
    struct Case {
        const char* what;
        std::string name;
        bool directory;
    };
    const Case cases[] = {
        {"sub-directory", "sub", true},
        {"65-byte name", std::string(65, 'x'), false},
        {"backslash", "data\\conn.xml", false},
        {"end record's name", "^Kivra_end^", false},
        {"device name", "nul.txt", false},
        {"stream", "a.txt:evil", false},
        {"trailing dot", "setup.", false},
    };
    for (const Case& c : cases) {
        fs::remove_all(payload_);
        fs::create_directory(payload_);
        WriteAll(payload_ / "fine.txt", "x");
        if (c.directory)
            fs::create_directory(payload_ / c.name);
        else
            WriteAll(payload_ / c.name, "x");
        std::vector<kpack::PayloadFile> files;
        kpack::Result r = kpack::CollectPayload(payload_.string(), &files);
        EXPECT_EQ(kpack::kInputRefused, r.code) << c.what;
        EXPECT_NE(std::string::npos, r.message.find(c.name)) << c.what << ": " << r.message;
        r = kpack::PackFolder(payload_.string(), P("out.pack"));
        EXPECT_EQ(kpack::kInputRefused, r.code) << c.what;
        EXPECT_FALSE(fs::exists(P("out.pack"))) << c.what;
    }

    // A link is judged as a link, not by what it leads to.
    fs::remove_all(payload_);
    fs::create_directory(payload_);
    WriteAll(P("secret"), "not for the payload");
    fs::create_symlink(P("secret"), payload_ / "pw");
    std::vector<kpack::PayloadFile> files;
    kpack::Result r = kpack::CollectPayload(payload_.string(), &files);
    EXPECT_EQ(kpack::kInputRefused, r.code);
    EXPECT_NE(std::string::npos, r.message.find("pw is a link")) << r.message;
}

TEST_F(KpackTest, NamesOf64BytesPassAndCaseTwinsAreRefused) {
    // Twins alone, then twins with another name between them in the order.
    WriteAll(payload_ / "A.txt", "1");
    WriteAll(payload_ / "a.txt", "2");
    std::vector<kpack::PayloadFile> files;
    kpack::Result r = kpack::CollectPayload(payload_.string(), &files);
    EXPECT_EQ(kpack::kInputRefused, r.code);
    EXPECT_NE(std::string::npos, r.message.find("A.txt and a.txt differ only in letter case")) << r.message;

    fs::remove(payload_ / "a.txt");
    WriteAll(payload_ / std::string(64, 'n'), "x");
    EXPECT_TRUE(kpack::CollectPayload(payload_.string(), &files).ok());
    ASSERT_EQ(2u, files.size());

    WriteAll(payload_ / "Setup.ini", "1");
    WriteAll(payload_ / "setup.INI", "2");
    r = kpack::CollectPayload(payload_.string(), &files);
    EXPECT_EQ(kpack::kInputRefused, r.code);
    EXPECT_NE(std::string::npos, r.message.find("letter case"));
}

// A record's length field and the setup's carrier size are 32 bits wide. Sparse
// files: only their sizes are read before the refusal.
TEST_F(KpackTest, FourGiBIsTooMuchForAFileAndForACarrier) {
    WriteAll(payload_ / "big", "");
    fs::resize_file(payload_ / "big", (1ull << 32) - 1);
    std::vector<kpack::PayloadFile> files;
    EXPECT_TRUE(kpack::CollectPayload(payload_.string(), &files).ok());
    fs::resize_file(payload_ / "big", 1ull << 32);
    EXPECT_EQ(kpack::kInputRefused, kpack::CollectPayload(payload_.string(), &files).code);

    const std::string packBytes = Marker() + EndRecord();
    WriteAll(P("carrier"), PeCarrier());
    WriteAll(P("p.pack"), packBytes);
    const uint32_t offset = (uint32_t)((1ull << 32) - packBytes.size());
    // Refused before any work: were it written, the zeros would fail at 1 MiB.
    rlimit saved, small;
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &saved));
    small = saved;
    small.rlim_cur = 1 << 20;
    void (*handler)(int) = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    kpack::Result r = kpack::StampPack(P("carrier"), P("p.pack"), offset, P("out"));
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, handler);
    EXPECT_EQ(kpack::kOutputRefused, r.code) << "a carrier of exactly 4 GiB";
    EXPECT_NE(std::string::npos, r.message.find("4 GiB or more")) << r.message;
    EXPECT_FALSE(fs::exists(P("out")));
}

TEST_F(KpackTest, StampPadsWithZerosUpToTheOffsetAndAppends) {
    const std::string carrier = PeCarrier(), packBytes = Marker() + Record("a", "1") + EndRecord();
    WriteAll(P("carrier"), carrier);
    WriteAll(P("p.pack"), packBytes);
    ASSERT_TRUE(kpack::StampPack(P("carrier"), P("p.pack"), 1100, P("out")).ok());
    EXPECT_EQ(carrier + std::string(76, '\0') + packBytes, ReadAll(P("out")));
    EXPECT_EQ(carrier, ReadAll(P("carrier")));

    // A carrier exactly as long as the offset gets no padding.
    ASSERT_TRUE(kpack::StampPack(P("carrier"), P("p.pack"), 1024, P("out2")).ok());
    EXPECT_EQ(carrier + packBytes, ReadAll(P("out2")));
}

TEST_F(KpackTest, StampRefusesToOverwriteAndLeavesNoOutput) {
    WriteAll(P("p.pack"), Marker() + EndRecord());
    WriteAll(P("long"), PeCarrier() + "c");
    kpack::Result r = kpack::StampPack(P("long"), P("p.pack"), 1024, P("out"));
    EXPECT_EQ(kpack::kOutputRefused, r.code);
    EXPECT_NE(std::string::npos, r.message.find("longer than the pack offset 1024"));
    EXPECT_FALSE(fs::exists(P("out")));

    WriteAll(P("short"), PeCarrier());
    EXPECT_EQ(kpack::kOutputRefused, kpack::StampPack(P("short"), P("p.pack"), 0xFFFFFFFEu, P("out")).code);
    EXPECT_EQ(kpack::kOutputRefused, kpack::StampPack(P("short"), P("p.pack"), 2000, P("short")).code);
    EXPECT_EQ(PeCarrier(), ReadAll(P("short")));
    EXPECT_EQ(kpack::kIoError, kpack::StampPack(P("missing"), P("p.pack"), 2000, P("out")).code);
}

// Inputs are judged by what they hold, not by their names or their order.
TEST_F(KpackTest, CarriersAndPackFilesAreJudgedByTheirContent) {
    WriteAll(payload_ / "a", "1");
    WriteAll(P("Setup.exe"), PeCarrier());
    WriteAll(P("KivraSetup.msi"), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(500, 'm'));
    WriteAll(P("notexe.txt"), "MZ, but no executable");
    WriteAll(P("p.pack"), Marker() + Record("a", "1") + EndRecord());
    WriteAll(P("cut.pack"), Marker() + Record("a", "1").substr(0, 9));
    WriteAll(P("sub.pack"), Marker() + Record("sub\\x.txt", "1") + EndRecord());
    struct Case {
        const char* what;
        std::string carrier, pack;
        int code;
    };
    const Case cases[] = {
        {"an executable", "Setup.exe", "p.pack", kpack::kOk},
        {"an installer package", "KivraSetup.msi", "p.pack", kpack::kOk},
        {"a text file", "notexe.txt", "p.pack", kpack::kInputRefused},
        {"carrier and pack swapped", "p.pack", "Setup.exe", kpack::kInputRefused},
        {"a pack cut short", "Setup.exe", "cut.pack", kpack::kInputRefused},
        {"a name with a folder part", "Setup.exe", "sub.pack", kpack::kInputRefused},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.code, kpack::StampPack(P(c.carrier), P(c.pack), 3300000, P("out.exe")).code) << c.what;
        EXPECT_EQ(c.code == kpack::kOk, fs::exists(P("out.exe"))) << c.what;
        fs::remove(P("out.exe"));
    }
    EXPECT_EQ(kpack::kInputRefused, kpack::MakeCarrier(payload_.string(), P("notexe.txt"), 2000, P("out.exe")).code);
    EXPECT_EQ(kpack::kIoError, kpack::MakeCarrier(P("nosuch"), P("Setup.exe"), 2000, P("out.exe")).code);

    // What the setup would not get far with is packed, with a warning.
    kpack::Result r = kpack::MakeCarrier(payload_.string(), P("Setup.exe"), 2000, P("out.exe"));
    ASSERT_TRUE(r.ok()) << r.message;
    ASSERT_EQ(3u, r.warnings.size());
    EXPECT_NE(std::string::npos, r.warnings[0].find("no 7za.exe"));
    // The setup finds its programs whatever their letter case.
    for (const char* program : {"7ZA.EXE", "KopApxSvr.exe", "kivrasetup.exe"}) WriteAll(payload_ / program, "p");
    r = kpack::PackFolder(payload_.string(), P("programs.pack"));
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ(std::vector<std::string>(), r.warnings);
    for (const auto& e : fs::directory_iterator(payload_)) fs::remove(e.path());
    r = kpack::PackFolder(payload_.string(), P("empty.pack"));
    ASSERT_TRUE(r.ok()) << r.message;
    ASSERT_EQ(1u, r.warnings.size());
    EXPECT_NE(std::string::npos, r.warnings[0].find("holds no file"));
}

TEST_F(KpackTest, MakeListsBackWhatWasPacked) {
    WriteAll(payload_ / "7za.exe", std::string(5000, 'z'));
    WriteAll(payload_ / "Qt.7z", "");
    WriteAll(P("Setup.exe"), PeCarrier());
    ASSERT_TRUE(kpack::MakeCarrier(payload_.string(), P("Setup.exe"), 2000, P("Setup-out.exe")).ok());
    kpack::Listing listing;
    ASSERT_TRUE(kpack::ListPack(P("Setup-out.exe"), 2000, &listing).ok());
    ASSERT_EQ(2u, listing.records.size());
    EXPECT_EQ("7za.exe", listing.records[0].name);
    EXPECT_EQ(5000u, listing.records[0].size);
    EXPECT_EQ("Qt.7z", listing.records[1].name);
    EXPECT_EQ(0u, listing.records[1].size);
    EXPECT_TRUE(listing.endRecord);
    EXPECT_EQ(0u, listing.trailing);
    EXPECT_EQ(fs::file_size(P("Setup-out.exe")), listing.packEnd);
}

TEST_F(KpackTest, ListJudgesPacksByTheUnpackersRules) {
    const std::string head(10, 'h');
    struct Case {
        const char* what;
        std::string region;
        int code;
        std::string message;  // for kPackDamaged
    };
    const std::string first = "record 1 at carrier byte 27: ";
    const Case cases[] = {
        {"signature after the end record", Marker() + Record("a", "1") + Record("^Kivra_end^", "") + "SIGNATURE", kpack::kOk, ""},
        {"records fill the region exactly", Marker() + Record("a", "1") + Record("b", "22"), kpack::kOk, ""},
        {"marker only", Marker(), kpack::kOk, ""},
        {"no marker", Mixed("^-=Kivra=-^ Reed!"), kpack::kPackDamaged, "no pack marker at carrier byte 10"},
        {"short marker", Marker().substr(0, 16), kpack::kPackDamaged, "no room for the pack marker at carrier byte 10"},
        {"cut lengths", Marker() + Record("a", "1") + std::string("\x01\0\0", 3), kpack::kPackDamaged,
         "record 2 at carrier byte 37: its lengths are cut off by the end of the carrier"},
        // The setup stops at the name length (161) before it misses the data
        // length: still the lengths that do not fit.
        {"long name, cut data length", Marker() + Le32(100) + "\x05", kpack::kPackDamaged,
         first + "its lengths are cut off by the end of the carrier"},
        {"long name, lengths whole", Marker() + Head(100, 0), kpack::kPackDamaged, first + "name length 100 exceeds 64"},
        {"one byte past the end", Marker() + Record("a", "12").substr(0, 8 + 1 + 1), kpack::kPackDamaged,
         first + "reaches 1 bytes past the end of the carrier"},
        // The data length cut off by the carrier's end: its lengths, not a
        // record that reaches past the end.
        {"cut data length", Marker() + Le32(1) + "\x05", kpack::kPackDamaged,
         first + "its lengths are cut off by the end of the carrier"},
        {"64-byte name", Marker() + Record(std::string(64, 'n'), "") + EndRecord(), kpack::kOk, ""},
        {"65-byte name", Marker() + Record(std::string(65, 'n'), ""), kpack::kPackDamaged, first + "name length 65 exceeds 64"},
        {"hostile name", Marker() + Record("..\\x.dll", "x") + Record("^Kivra_end^", ""), kpack::kPackDamaged,
         first + "name is not allowed; the unpacker refuses it"},
        {"empty name", Marker() + Record("", "x") + Record("^Kivra_end^", ""), kpack::kPackDamaged,
         first + "name is not allowed; the unpacker refuses it"},
        // The setup cannot create it in its fresh work folder: list says so, as extract does.
        {"folder part", Marker() + Record("sub\\x.txt", "x") + EndRecord(), kpack::kPackDamaged,
         first + "name sub\\x.txt has a folder part; the setup cannot create it and stops here"},
    };
    for (const Case& c : cases) {
        WriteAll(P("c"), head + c.region);
        kpack::Listing listing;
        kpack::Result r = kpack::ListPack(P("c"), 10, &listing);
        EXPECT_EQ(c.code, r.code) << c.what;
        EXPECT_EQ(c.message, r.message) << c.what;
    }

    WriteAll(P("c"), head + cases[0].region);
    kpack::Listing listing;
    ASSERT_TRUE(kpack::ListPack(P("c"), 10, &listing).ok());
    EXPECT_EQ(9u, listing.trailing);
    WriteAll(P("c"), head);
    EXPECT_EQ(kpack::kPackDamaged, kpack::ListPack(P("c"), 10, &listing).code);
}

// The command line: exit codes and stderr that a release script relies on.
struct CliRun {
    int code;
    std::string out;
    std::string err;
};

class KpackCli : public KpackTest {
protected:
    CliRun Kpack(const std::string& args) {
        std::string cmd = std::string(KPACK_EXE) + " " + args + " >" + P("stdout") + " 2>" + P("stderr");
        int status = std::system(cmd.c_str());
        return CliRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(P("stdout")), ReadAll(P("stderr"))};
    }
};

TEST_F(KpackCli, ExitCodesAndMessages) {
    CliRun r = Kpack("--help");
    EXPECT_EQ(0, r.code);
    EXPECT_NE(std::string::npos, r.out.find("kpack make"));

    EXPECT_EQ(2, Kpack("").code);
    EXPECT_EQ(2, Kpack("frobnicate").code);
    EXPECT_EQ(2, Kpack("list --offset 12x " + P("c")).code);
    // Offsets run to 4294967295: past a small carrier's end there is no pack.
    WriteAll(P("c"), "x");
    EXPECT_EQ(5, Kpack("list --offset 4294967295 " + P("c")).code);
    EXPECT_EQ(2, Kpack("list --offset 4294967296 " + P("c")).code);
    EXPECT_EQ(2, Kpack("pack onlyone").code);

    WriteAll(payload_ / "kopApxSvr.exe", "admission");
    WriteAll(P("Setup.exe"), PeCarrier());
    r = Kpack("make " + payload_.string() + " " + P("Setup.exe") + " " + P("Setup-c.exe"));
    EXPECT_EQ(0, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.err.find("warning: payload folder " + payload_.string() + " holds no 7za.exe"))
        << "packed, with a warning: " << r.err;
    EXPECT_EQ(490000u + 17 + 8 + 13 + 9 + 8 + 11, fs::file_size(P("Setup-c.exe")));

    r = Kpack("list " + P("Setup-c.exe"));
    EXPECT_EQ(0, r.code) << r.err;
    EXPECT_NE(std::string::npos, r.out.find("9  kopApxSvr.exe"));
    EXPECT_EQ(5, Kpack("list --offset 3300000 " + P("Setup-c.exe")).code);

    ASSERT_EQ(0, Kpack("pack " + payload_.string() + " " + P("p.pack")).code);
    r = Kpack("stamp " + P("Setup-c.exe") + " " + P("p.pack") + " " + P("again.exe"));
    EXPECT_EQ(4, r.code);
    EXPECT_NE(std::string::npos, r.err.find("longer than the pack offset 490000"));

    WriteAll(payload_ / std::string(65, 'L'), "");
    r = Kpack("pack " + payload_.string() + " " + P("p.pack"));
    EXPECT_EQ(3, r.code);
    EXPECT_NE(std::string::npos, r.err.find("65 bytes"));

    EXPECT_EQ(1, Kpack("list " + P("missing.exe")).code);
}

// A pack read back into a folder: what the setup would write, and nothing
// beyond the folder.
class KpackExtract : public KpackTest {
protected:
    // A carrier of 10 header bytes and region; extracts it into out/.
    kpack::Result Extract(const std::string& region, bool force = false) {
        WriteAll(P("c"), std::string(10, 'h') + region);
        return kpack::ExtractPack(P("c"), 10, P("out"), force, &listing);
    }
    // Every path under the test's root, relative, but the carrier's own.
    std::vector<std::string> Tree() {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(root_))
            if (e.path().filename() != "c") found.push_back(fs::relative(e.path(), root_).string());
        std::sort(found.begin(), found.end());
        return found;
    }
    kpack::Listing listing;
};

TEST_F(KpackExtract, WritesTheFilesButNotTheEndRecord) {
    kpack::Result r = Extract(Marker() + Record("a.txt", "hello") + Record("empty", "") + EndRecord() + "SIG");
    ASSERT_TRUE(r.ok()) << r.message;
    EXPECT_EQ((std::vector<std::string>{"out", "out/a.txt", "out/empty", "payload"}), Tree());
    EXPECT_EQ("hello", ReadAll(P("out/a.txt")));
    EXPECT_EQ(3u, listing.trailing);
}

TEST_F(KpackExtract, NamesThatDifferOnlyInCaseAreWrittenWithAWarning) {
    kpack::Result r = Extract(Marker() + Record("A.txt", "1") + Record("b", "") + Record("a.TXT", "2") + EndRecord());
    ASSERT_TRUE(r.ok()) << r.message;
    ASSERT_EQ(1u, listing.notes.size());
    EXPECT_EQ(0u, listing.notes[0].find("record 3 at carrier byte 50: name a.TXT repeats an earlier name"))
        << listing.notes[0];
}

TEST_F(KpackExtract, RefusesTraversalNamesAndWritesNothingOutside) {
    const char* hostile[] = {"..\\x.dll", "../x.dll", "/tmp/x.dll", "..", "C:x.dll", "a.txt:s",
                             "nul", "sub\\x.dll", "sub/x.dll", ""};
    for (const char* name : hostile) {
        fs::remove_all(P("out"));
        kpack::Result r = Extract(Marker() + Record("good", "1") + Record(name, "evil") + EndRecord());
        EXPECT_EQ(kpack::kPackDamaged, r.code) << name;
        EXPECT_NE(std::string::npos, r.message.find("record 2 at carrier byte 40")) << r.message;
        EXPECT_EQ((std::vector<std::string>{"out", "out/good", "payload"}), Tree()) << name;
    }
}

TEST_F(KpackExtract, ADamagedPackStopsWhereTheSetupStops) {
    // The third record reaches past the end: the setup wrote the first two.
    std::string region = Marker() + Record("one", "1") + Record("two", "22") + Record("three", "333");
    EXPECT_EQ(kpack::kPackDamaged, Extract(region.substr(0, region.size() - 1)).code);
    EXPECT_EQ((std::vector<std::string>{"out", "out/one", "out/two", "payload"}), Tree());
    EXPECT_EQ(kpack::kOutputRefused, Extract(Marker() + EndRecord()).code) << "out/ is not empty now";
    fs::remove_all(P("out"));
    EXPECT_EQ(kpack::kPackDamaged, Extract(Mixed("no marker here, no")).code);
}

TEST_F(KpackExtract, NeverWritesThroughALink) {
    fs::create_directory(P("elsewhere"));
    fs::create_directory_symlink(P("elsewhere"), P("out"));
    EXPECT_EQ(kpack::kOutputRefused, Extract(Marker() + Record("a", "1"), true).code);
    EXPECT_TRUE(fs::is_empty(P("elsewhere")));

    fs::remove(P("out"));
    fs::create_directory(P("out"));
    WriteAll(P("victim"), "keep");
    fs::create_symlink(P("victim"), P("out/a"));
    EXPECT_EQ(kpack::kOutputRefused, Extract(Marker() + Record("a", "1") + EndRecord()).code) << "not empty";
    kpack::Result r = Extract(Marker() + Record("a", "1") + EndRecord(), true);
    EXPECT_EQ(kpack::kOutputRefused, r.code);
    EXPECT_NE(std::string::npos, r.message.find("is a link")) << r.message;
    EXPECT_EQ("keep", ReadAll(P("victim")));
}

TEST_F(KpackTest, ASignedCarrierIsRefusedAndTheChecksumFollowsThePack) {
    WriteAll(payload_ / "a", "1");
    WriteAll(P("signed.exe"), PeCarrier(0x1234, 24));
    WriteAll(P("p.pack"), Marker() + EndRecord());
    kpack::Result r = kpack::MakeCarrier(payload_.string(), P("signed.exe"), 2000, P("out.exe"));
    EXPECT_EQ(kpack::kOutputRefused, r.code);
    EXPECT_NE(std::string::npos, r.message.find("then sign")) << r.message;
    EXPECT_EQ(kpack::kOutputRefused, kpack::StampPack(P("signed.exe"), P("p.pack"), 2000, P("out.exe")).code);
    EXPECT_FALSE(fs::exists(P("out.exe")));

    WriteAll(P("plain.exe"), PeCarrier(0x1234, 0));
    ASSERT_TRUE(kpack::MakeCarrier(payload_.string(), P("plain.exe"), 2000, P("out.exe")).ok());
    kpack::Listing listing;
    ASSERT_TRUE(kpack::ListPack(P("out.exe"), 2000, &listing).ok());
    EXPECT_TRUE(listing.executable && listing.checksumOk);
    EXPECT_EQ(0u, listing.signatureSize);

    // The checksum Windows computes: 16-bit words whose carries are folded
    // back in (these words carry once more in the last fold), an odd last
    // byte, the length. Worked out apart from kpack.
    WriteAll(P("ff.exe"), PeCarrier(0x1234, 0) + "04" + std::string(1998, '\xFF'));
    WriteAll(P("odd.pack"), Marker() + Record("a", "12") + EndRecord());
    ASSERT_TRUE(kpack::StampPack(P("ff.exe"), P("odd.pack"), 3024, P("ff-out.exe")).ok());
    const std::string out = ReadAll(P("ff-out.exe"));
    ASSERT_EQ(3071u, out.size());
    EXPECT_EQ(0xC00u, pack::ReadLe32(reinterpret_cast<const unsigned char*>(out.data()) + 0xD8));
}

TEST_F(KpackCli, OneConventionForOptionsAndOutputs) {
    CliRun r = Kpack("extract --help");
    EXPECT_EQ(0, r.code);
    EXPECT_NE(std::string::npos, r.out.find("empty file is not made"));
    EXPECT_EQ(2, Kpack("list --force x").code);

    // -- ends the options: a payload folder may start with a dash.
    fs::create_directory(root_ / "-p");
    WriteAll(root_ / "-p" / "f", "x");
    WriteAll(P("Setup.exe"), PeCarrier());
    EXPECT_EQ(2, Kpack("make -p " + P("Setup.exe") + " out.exe").code);
    std::string cmd = "cd " + root_.string() + " && " + KPACK_EXE + " make -- -p Setup.exe ./Setup.exe";
    EXPECT_NE(0, std::system(cmd.c_str())) << "./Setup.exe is the carrier itself";
    EXPECT_EQ(PeCarrier(), ReadAll(P("Setup.exe")));
    cmd = "cd " + root_.string() + " && " + KPACK_EXE + " make -- -p Setup.exe out.exe";
    EXPECT_EQ(0, std::system(cmd.c_str()));
    EXPECT_EQ(0, Kpack("extract " + P("out.exe") + " " + P("x")).code);
    EXPECT_EQ("x", ReadAll(P("x/f")));
    // No temporary file is left beside an output.
    for (const auto& e : fs::directory_iterator(root_))
        EXPECT_EQ(std::string::npos, e.path().filename().string().find(".tmp-")) << e.path();
}

}  // namespace
