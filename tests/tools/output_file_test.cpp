// Outputs written whole or not at all, beside the target under a short name
// of their own, and the rule of where an output may go.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "exit_codes.h"
#include "output_file.h"
#include "support/host_files.h"

namespace fs = std::filesystem;

namespace {

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
        ASSERT_EQ(tools::kExitOk, abandoned.Open(tools::OutputRule(), &error)) << error;
        std::fputs("half", abandoned.get());
        EXPECT_EQ("good", ReadAll(target_));
    }
    EXPECT_EQ("good", ReadAll(target_));
    EXPECT_EQ(1u, Entries()) << "the temporary file is gone";

    tools::OutputFile out(target_);
    ASSERT_EQ(tools::kExitOk, out.Open(tools::OutputRule(), &error));
    std::fputs("new", out.get());
    ASSERT_EQ(tools::kExitOk, out.Commit(&error)) << error;
    EXPECT_EQ("new", ReadAll(target_));
    EXPECT_EQ(1u, Entries());
}

TEST_F(OutputFileTest, ATargetThatCannotBeReplacedIsAFailureAndLeavesNoTemporaryFile) {
    std::string error;
    {
        tools::OutputFile out(target_);
        ASSERT_EQ(tools::kExitOk, out.Open(tools::OutputRule(), &error));
        std::fputs("new", out.get());
        // Someone puts a folder in the target's place while the output is written.
        fs::remove(target_);
        fs::create_directories(fs::path(target_) / "kept");
        EXPECT_EQ(tools::kExitIo, out.Commit(&error));
        EXPECT_NE(std::string::npos, error.find("cannot rename its temporary file")) << error;
    }
    EXPECT_TRUE(fs::is_directory(fs::path(target_) / "kept"));
    EXPECT_EQ(1u, Entries()) << "the temporary file is gone";
}

TEST_F(OutputFileTest, TwoWritersOfOneTargetDoNotCollide) {
    std::string error;
    tools::OutputFile first(target_), second(target_);
    ASSERT_EQ(tools::kExitOk, first.Open(tools::OutputRule(), &error));
    ASSERT_EQ(tools::kExitOk, second.Open(tools::OutputRule(), &error));
    std::fputs("first", first.get());
    std::fputs("second", second.get());
    ASSERT_EQ(tools::kExitOk, first.Commit(&error));
    ASSERT_EQ(tools::kExitOk, second.Commit(&error));
    EXPECT_EQ("second", ReadAll(target_)) << "each file whole, the last one wins";
    EXPECT_EQ(1u, Entries());
}

TEST_F(OutputFileTest, ANameThatFillsTheFolderEntryStillFits) {
    const std::string longest = (root_ / std::string(255, 'n')).string();
    tools::OutputFile out(longest);
    std::string error;
    ASSERT_EQ(tools::kExitOk, out.Open(tools::OutputRule(), &error)) << error;
    ASSERT_EQ(tools::kExitOk, out.Commit(&error)) << error;
    EXPECT_TRUE(fs::exists(longest));
}

TEST_F(OutputFileTest, InsideAFolderIsJudgedOnTheResolvedPath) {
    fs::create_directory(root_ / "payload");
    fs::create_directory_symlink(root_ / "payload", root_ / "link");
    const std::string payload = (root_ / "payload").string();
    struct Case {
        const char* path;
        bool inside;
    };
    const Case cases[] = {
        {"payload/new.exe", true},          {"payload/sub/deeper/new.exe", true}, {"link/new.exe", true},
        {"payload/../new.exe", false},      {"new.exe", false},                   {"payload", false},
        {"payload-2/new.exe", false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.inside, tools::InsideFolder((root_ / c.path).string(), payload)) << c.path;
}

}  // namespace
