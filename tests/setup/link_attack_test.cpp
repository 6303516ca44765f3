// An ordinary user plants links where the elevated Setup.exe logs, deletes and
// unpacks. What a link leads to must stay exactly as it was, and the run still
// ends with exit code 0. Unix symbolic links in the prefix are what Wine shows
// a Windows program as links.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";
const std::string V = "C:\\victims";

// Every entry below dir with its bytes ("<dir>" for a directory; "<ro>" added
// when read-only).
void Snapshot(const std::string& dir, std::map<std::string, std::string>* shot) {
    for (const std::string& name : ListDir(dir)) {
        std::string path = dir + "\\" + name;
        DWORD attributes = GetFileAttributesA(path.c_str());
        (*shot)[path] = attributes & FILE_ATTRIBUTE_DIRECTORY ? "<dir>" : ReadFileBytes(path);
        if (attributes & FILE_ATTRIBUTE_READONLY) (*shot)[path] += "<ro>";
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) Snapshot(path, shot);
    }
}

bool Has(const std::vector<std::string>& log, const std::string& entry) {
    return std::find(log.begin(), log.end(), entry) != log.end();
}

class LinkAttackTest : public ::testing::Test {
protected:
    std::vector<std::string> links_; // removed on the Unix side: Windows calls would reach the target
    std::string tmp_ = UnixPathOf("C:\\tmp");

    void SetUp() override {
        PrepareSetupRun();
        ClearLogs();
        RemoveTree(V);
        MakeDirs(V);
        ASSERT_TRUE(WriteFileBytes("C:\\carrier\\Setup.exe",
                                   BuildCarrier(ReadFileBytes(SetupExe()), 490000,
                                                BuildPack(ReadFolder(BuildPath("demo-payload"))))));
    }
    void TearDown() override {
        for (const std::string& link : links_) RunUnixShell("rm -f '" + UnixPathOf(link) + "'");
        RunUnixShell("if [ -d '" + tmp_ + ".kept' ]; then mv '" + tmp_ + ".kept' '" + tmp_ + "'; fi");
        RemoveTree(V);
        MakeDirs("C:\\KivraLog");
    }

    // Plants link -> target, runs the setup and checks that nothing below V
    // changed. Returns the setup log.
    std::vector<std::string> RunAgainst(const std::string& link, const std::string& target) {
        links_.push_back(link);
        EXPECT_TRUE(RunUnixShell("ln -s '" + UnixPathOf(target) + "' '" + UnixPathOf(link) + "'"));
        std::map<std::string, std::string> before, after;
        Snapshot(V, &before);
        ChildRun run = RunChild("C:\\carrier\\Setup.exe", 120000);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.boxes.empty());
        Snapshot(V, &after);
        EXPECT_EQ(after, before);
        return TodayLogMessages("setup");
    }
    void ExpectInstalled() { EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n"); }
};

TEST_F(LinkAttackTest, ALinkAtTodaysLogFileGetsNoLine) {
    WriteFileBytes(V + "\\boot.ini", "[boot loader]\r\n");
    RunAgainst("C:\\KivraLog\\setup" + LogDateStamp() + ".log", V + "\\boot.ini");
    ExpectInstalled();
}

TEST_F(LinkAttackTest, TheWeeklyCleanUpLeavesALinkAndItsReadOnlyTarget) {
    WriteFileBytes(V + "\\hosts", "127.0.0.1 localhost\r\n");
    SetFileAttributesA((V + "\\hosts").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string lastWeek = "C:\\KivraLog\\setup" + LogDateStampDaysAway(-7) + ".log";
    EXPECT_TRUE(Has(RunAgainst(lastWeek, V + "\\hosts"), "Exit main")) << "today's own file is a real one";
    EXPECT_NE(GetFileAttributesA(lastWeek.c_str()), INVALID_FILE_ATTRIBUTES) << "the link stays";
}

TEST_F(LinkAttackTest, ALogFolderThatLinksElsewhereGetsNothingWrittenOrDeleted) {
    MakeDirs(V + "\\config");
    WriteFileBytes(V + "\\config\\setup" + LogDateStampDaysAway(-7) + ".log", "not a log");
    RemoveTree("C:\\KivraLog");
    RunAgainst("C:\\KivraLog", V + "\\config");
    ExpectInstalled();
}

// Wine cannot rename or remove a directory link without touching what it
// leads to, so here the setup stops; Windows opens the link as itself and
// moves it aside.
TEST_F(LinkAttackTest, AWorkDirThatLinksElsewhereIsLeftAlone) {
    MakeDirs(V + "\\programs\\Qt");
    WriteFileBytes(V + "\\programs\\KivraSetup.exe", "a user's program");
    std::vector<std::string> log = RunAgainst(W, V + "\\programs");
    EXPECT_TRUE(Has(log, "CreateWorkDir: " + W + " leads elsewhere; it is left as it is."));
    EXPECT_TRUE(Has(log, "install failed with Err 351."));
}

TEST_F(LinkAttackTest, ATmpFolderThatAUserLinkedElsewhereStopsTheSetup) {
    MakeDirs(V + "\\tmp\\KivraSetup0");
    WriteFileBytes(V + "\\tmp\\KivraSetup0\\7za.exe", "a user's program");
    ASSERT_TRUE(RunUnixShell("mv '" + tmp_ + "' '" + tmp_ + ".kept'"));
    std::vector<std::string> log = RunAgainst("C:\\tmp", V + "\\tmp");
    EXPECT_TRUE(Has(log, "CreateWorkDir: C:\\tmp is a link that is not owned by Administrators or SYSTEM."));
    EXPECT_TRUE(Has(log, "install failed with Err 351."));
}

} // namespace
