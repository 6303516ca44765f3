// Outputs written whole or not at all, beside the target under a name of
// their own, and paths compared as files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "output_file.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class OutputFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/output-file-test-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        root_ = pattern;
        target_ = (root_ / "KivraCustom.vrf").string();
        std::ofstream(target_) << "good";
    }
    void TearDown() override { fs::remove_all(root_); }
    size_t Entries() { return (size_t)std::distance(fs::directory_iterator(root_), fs::directory_iterator()); }
    fs::path root_;
    std::string target_;
};

TEST_F(OutputFileTest, TheOldFileStaysUntilTheNewOneIsComplete) {
    std::string error;
    {
        tools::OutputFile abandoned(target_);
        ASSERT_TRUE(abandoned.Open(&error)) << error;
        std::fputs("half", abandoned.get());
        EXPECT_EQ("good", ReadAll(target_));
    }
    EXPECT_EQ("good", ReadAll(target_));
    EXPECT_EQ(1u, Entries()) << "the temporary file is gone";

    tools::OutputFile out(target_);
    ASSERT_TRUE(out.Open(&error));
    std::fputs("new", out.get());
    ASSERT_TRUE(out.Commit(&error)) << error;
    EXPECT_EQ("new", ReadAll(target_));
    EXPECT_EQ(1u, Entries());
}

TEST_F(OutputFileTest, TwoWritersOfOneTargetDoNotCollide) {
    std::string error;
    tools::OutputFile first(target_), second(target_);
    ASSERT_TRUE(first.Open(&error));
    ASSERT_TRUE(second.Open(&error));
    std::fputs("first", first.get());
    std::fputs("second", second.get());
    ASSERT_TRUE(first.Commit(&error));
    ASSERT_TRUE(second.Commit(&error));
    EXPECT_EQ("second", ReadAll(target_)) << "each file whole, the last one wins";
    EXPECT_EQ(1u, Entries());
}

TEST_F(OutputFileTest, FailuresNameTheTargetAndPathsCompareAsFiles) {
    std::string error;
    tools::OutputFile out((root_ / "missing" / "x.vrf").string());
    EXPECT_FALSE(out.Open(&error));
    EXPECT_NE(std::string::npos, error.find("missing/x.vrf")) << error;

    ASSERT_EQ(0, chdir(root_.c_str()));
    EXPECT_TRUE(tools::SameFile("./KivraCustom.vrf", "KivraCustom.vrf"));
    EXPECT_TRUE(tools::SameFile(target_, "../" + root_.filename().string() + "/KivraCustom.vrf"));
    EXPECT_FALSE(tools::SameFile("KivraCustom.vrf", "absent.vrf"));
    ASSERT_EQ(0, chdir("/"));
}

}  // namespace
