// An ordinary user prepares links where the elevated Setup.exe logs, deletes
// and unpacks. Whatever a link leads to must stay exactly as it was, and the
// run still ends with exit code 0. The links are Unix symbolic links planted
// in the prefix: that is how Wine shows links to a Windows program.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";
const std::string kVictims = "C:\\victims";

// Every entry below dir: a file's bytes (and "<ro>" when read-only), "<dir>"
// for a directory; keyed by the path below dir.
typedef std::map<std::string, std::string> Snapshot;

void Take(const std::string& dir, const std::string& below, Snapshot* shot) {
    for (const std::string& name : ListDir(dir)) {
        std::string path = dir + "\\" + name;
        DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            (*shot)[below + name] = "<dir>";
            Take(path, below + name + "\\", shot);
        } else {
            (*shot)[below + name] = ReadFileBytes(path) + (attributes & FILE_ATTRIBUTE_READONLY ? "<ro>" : "");
        }
    }
}

Snapshot SnapshotOf(const std::string& dir) {
    Snapshot shot;
    Take(dir, "", &shot);
    return shot;
}

bool Has(const std::vector<std::string>& log, const std::string& entry) {
    return std::find(log.begin(), log.end(), entry) != log.end();
}

class LinkAttackTest : public ::testing::Test {
protected:
    std::vector<std::string> links_; // removed on the Unix side after each test
    bool tmpMoved_ = false;          // C:\tmp was put aside for a link

    void SetUp() override {
        ClearLogs();
        RemoveTree(W);
        RemoveTree(kVictims);
        MakeDirs(kVictims);
        MakeDirs("C:\\carrier");
        SetEnvironmentVariableA("KIVRA_STANDIN_MS", "300");
        std::string exe = ReadFileBytes(SetupExe());
        ASSERT_TRUE(WriteFileBytes("C:\\carrier\\Setup.exe",
                                   BuildCarrier(exe, 490000, BuildPack(ReadFolder(BuildPath("demo-payload"))))));
    }
    void TearDown() override {
        // Windows calls on a link would reach its target under Wine.
        for (const std::string& link : links_) RunUnixShell("rm -f '" + UnixPathOf(link) + "'");
        if (tmpMoved_) RunUnixShell("mv '" + UnixPathOf("C:\\tmp") + ".kept' '" + UnixPathOf("C:\\tmp") + "'");
        RemoveTree(kVictims);
        MakeDirs("C:\\KivraLog");
    }

    void Plant(const std::string& link, const std::string& target) {
        links_.push_back(link);
        ASSERT_TRUE(RunUnixShell("ln -s '" + UnixPathOf(target) + "' '" + UnixPathOf(link) + "'"));
        ASSERT_NE(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES);
    }

    void RunSetup() {
        ChildRun run = RunChild("C:\\carrier\\Setup.exe", 120000);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.boxes.empty());
    }
    void ExpectInstalled() {
        EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n");
    }
};

TEST_F(LinkAttackTest, ALinkAtTodaysLogFileGetsNoLine) {
    WriteFileBytes(kVictims + "\\boot.ini", "[boot loader]\r\n");
    Plant("C:\\KivraLog\\setup" + LogDateStamp() + ".log", kVictims + "\\boot.ini");
    Snapshot before = SnapshotOf(kVictims);
    RunSetup();
    EXPECT_EQ(SnapshotOf(kVictims), before);
    ExpectInstalled();
}

TEST_F(LinkAttackTest, TheWeeklyCleanUpLeavesALinkAndItsReadOnlyTarget) {
    const std::string victim = kVictims + "\\hosts";
    WriteFileBytes(victim, "127.0.0.1 localhost\r\n");
    SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string link = "C:\\KivraLog\\setup" + LogDateStampDaysAway(-7) + ".log";
    Plant(link, victim);
    Snapshot before = SnapshotOf(kVictims);
    RunSetup();
    EXPECT_EQ(SnapshotOf(kVictims), before);
    EXPECT_NE(GetFileAttributesA(link.c_str()), INVALID_FILE_ATTRIBUTES) << "the link stays in place";
    EXPECT_TRUE(Has(TodayLogMessages("setup"), "Exit main")) << "the log itself works";
    ExpectInstalled();
}

TEST_F(LinkAttackTest, ALogFolderThatLinksElsewhereGetsNothingWrittenOrDeleted) {
    MakeDirs(kVictims + "\\config");
    WriteFileBytes(kVictims + "\\config\\setup" + LogDateStampDaysAway(-7) + ".log", "not a log");
    RemoveTree("C:\\KivraLog");
    Plant("C:\\KivraLog", kVictims + "\\config");
    Snapshot before = SnapshotOf(kVictims);
    RunSetup();
    EXPECT_EQ(SnapshotOf(kVictims), before);
    ExpectInstalled();
}

// Wine cannot rename or remove a directory link without touching what it
// leads to, so here the setup stops (351); Windows opens the link as itself
// and moves it aside.
TEST_F(LinkAttackTest, AWorkDirThatLinksElsewhereIsLeftAlone) {
    MakeDirs(kVictims + "\\programs\\Qt");
    WriteFileBytes(kVictims + "\\programs\\KivraSetup.exe", "a user's program");
    WriteFileBytes(kVictims + "\\programs\\Qt\\qt.conf", "[Paths]");
    Plant(W, kVictims + "\\programs");
    Snapshot before = SnapshotOf(kVictims);
    RunSetup();
    EXPECT_EQ(SnapshotOf(kVictims), before);
    std::vector<std::string> log = TodayLogMessages("setup");
    EXPECT_TRUE(Has(log, "CreateWorkDir: " + W + " leads elsewhere; it is left as it is."));
    EXPECT_TRUE(Has(log, "install failed with Err 351."));
}

TEST_F(LinkAttackTest, ATmpFolderThatAUserLinkedElsewhereStopsTheSetup) {
    MakeDirs(kVictims + "\\tmp\\KivraSetup0");
    WriteFileBytes(kVictims + "\\tmp\\KivraSetup0\\7za.exe", "a user's program");
    const std::string tmp = UnixPathOf("C:\\tmp");
    tmpMoved_ = RunUnixShell("mv '" + tmp + "' '" + tmp + ".kept'");
    ASSERT_TRUE(tmpMoved_);
    Plant("C:\\tmp", kVictims + "\\tmp");
    Snapshot before = SnapshotOf(kVictims);
    RunSetup();
    EXPECT_EQ(SnapshotOf(kVictims), before);
    std::vector<std::string> log = TodayLogMessages("setup");
    EXPECT_TRUE(Has(log, "CreateWorkDir: C:\\tmp is a link that is not owned by Administrators or SYSTEM."));
    EXPECT_TRUE(Has(log, "install failed with Err 351."));
}

} // namespace
