// Outputs written whole or not at all, beside the target under a name of
// their own.
#include <gtest/gtest.h>
#include <stdlib.h>

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

}  // namespace
