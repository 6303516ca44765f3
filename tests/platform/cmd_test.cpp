#include <gtest/gtest.h>

#include <string.h>

#include "platform/cmd.h"
#include "support/session_record.h"
#include "support/winsupport.h"

namespace {

TEST(CmdOutputTest, GrowsAndStaysTerminated) {
    CmdOutput text;
    EXPECT_STREQ(text.Text(), "");
    std::string big(10000, 'q');
    ASSERT_TRUE(text.Append(big.data(), big.size()));
    ASSERT_TRUE(text.Append("end", 3));
    EXPECT_EQ(strlen(text.Text()), 10003u);
    EXPECT_EQ(std::string(text.Text()), big + "end");
}

class GetCmdTest : public ::testing::Test {
protected:
    void SetUp() override { ClearLogs(); }
};

TEST_F(GetCmdTest, OutputOfBothStreamsIsCollectedAndEachChunkCutAtItsFirstNul) {
    CmdOutput output;
    ASSERT_EQ(GetCmd(("\"" + HelperExe("printer") + "\"").c_str(), &output, "cmdtest", HelperExe("printer").c_str(),
                     "C:\\"),
              1);
    EXPECT_STREQ(output.Text(), "abctail");
    EXPECT_TRUE(TodayLogMessages("stp_cmdtest").empty());
}

TEST_F(GetCmdTest, AProgramThatPrintsNothingLeavesTheOutputAsItWas) {
    CmdOutput output;
    output.Append("previous", 8);
    ASSERT_EQ(GetCmd(("\"" + HelperExe("sleeper") + "\" 0").c_str(), &output, "cmdtest", HelperExe("sleeper").c_str(),
                     "C:\\"),
              1);
    EXPECT_STREQ(output.Text(), "previous");
}

TEST_F(GetCmdTest, AMissingProgramFailsWithTheSystemsErrorCode) {
    CmdOutput output;
    output.Append("previous", 8);
    EXPECT_EQ(GetCmd("C:\\no\\such\\program.exe x", &output, "cmdtest", "C:\\no\\such\\program.exe", "C:\\"), 0);
    EXPECT_STREQ(output.Text(), "previous");
    std::vector<std::string> log = TodayLogMessages("stp_cmdtest");
    ASSERT_EQ(log.size(), 1u);
    // Windows reports a missing program as 2 (file) or 3 (path).
    EXPECT_TRUE(log[0] == "GetCmd: Create CMD Process Failed with ErrCode:2" ||
                log[0] == "GetCmd: Create CMD Process Failed with ErrCode:3")
        << log[0];
}

TEST_F(GetCmdTest, AProgramNamedWholeIsStartedEvenBelowABlank) {
    // The archiver's command line names its program unquoted. Below a folder
    // with a blank, CreateProcess alone would first try the name cut at the
    // blank: here the decoy C:\tmp\cmd blank\Scratch.exe.
    RemoveTree("C:\\tmp\\cmd blank");
    MakeDirs("C:\\tmp\\cmd blank\\Scratch Space");
    const std::string program = "C:\\tmp\\cmd blank\\Scratch Space\\printer.exe";
    ASSERT_TRUE(CopyFileA(HelperExe("printer").c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileA(HelperExe("sleeper").c_str(), "C:\\tmp\\cmd blank\\Scratch.exe", FALSE));

    CmdOutput named;
    ASSERT_EQ(GetCmd(program.c_str(), &named, "cmdtest", program.c_str(), "C:\\"), 1);
    EXPECT_STREQ(named.Text(), "abctail");
    RemoveTree("C:\\tmp\\cmd blank");
}

TEST_F(GetCmdTest, TheProgramRunsInTheGivenFolderWithNoneOfTheSessionsVariables) {
    // The demo payload's admission stand-in records where it ran and what it saw.
    const std::string dir = "C:\\tmp\\cmd session", program = dir + "\\kopApxSvr.exe";
    RemoveTree(dir);
    MakeDirs(dir + "\\cwd");
    ASSERT_TRUE(CopyFileA(BuildPath("demo-payload/kopApxSvr.exe").c_str(), program.c_str(), FALSE));
    HostileSession session(dir);
    CmdOutput output;
    ASSERT_EQ(GetCmd(("\"" + program + "\"").c_str(), &output, "cmdtest", program.c_str(), (dir + "\\cwd").c_str()), 1);
    std::vector<SessionSeen> seen = ReadSessions(dir + "\\kopApxSvr-session.txt");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].directory, dir + "\\cwd");
    for (const auto& p : session.planted) EXPECT_NE(VariableSeen(seen[0], p.first), p.second) << p.first;
    RemoveTree(dir);
}

TEST_F(GetCmdTest, TheArchiverRunsAndReportsSuccess) {
    CmdOutput output;
    ASSERT_EQ(GetCmd(("\"" + SevenZipExe() + "\" i").c_str(), &output, "cmdtest", SevenZipExe().c_str(), "C:\\"), 1);
    EXPECT_NE(strstr(output.Text(), "7-Zip"), nullptr);
}

} // namespace
