#include <gtest/gtest.h>

#include <stdlib.h>

#include "platform/sysinfo.h"
#include "setup/globals.h"
#include "setup/startup.h"
#include "support/winsupport.h"

namespace {

// The expected texts, written here in UTF-8 and converted to the ANSI code page
// of the run, so that a Chinese run compares real GBK bytes.
std::string Ansi(const char* utf8) {
    wchar_t wide[512];
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
    char ansi[1024];
    WideCharToMultiByte(CP_ACP, 0, wide, n, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}

bool Chinese() { return GetSystemDefaultLangID() == 2052; }

SeenBox Expected(const char* english, const char* chinese) {
    return Chinese() ? SeenBox{Ansi("安装Kivra智能客户端"), Ansi(chinese)} : SeenBox{"Kivra Setup", english};
}

const char kAnotherInstanceEn[] = "A previous instance is still running. \nPlease try it later.";

void ExpectBoxes(const std::vector<SeenBox>& seen, const SeenBox& expected) {
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].caption, expected.caption);
    EXPECT_EQ(seen[0].text, expected.text);
}

TEST(StartupLanguage, RunsInTheLanguageThisTestRunAskedFor) {
    const char* wanted = getenv("KIVRA_EXPECT_LANGID");
    EXPECT_EQ(GetSystemDefaultLangID(), wanted ? atoi(wanted) : 1033);
    if (wanted) {
        EXPECT_EQ(GetACP(), 936u);
    }
}

// SetupMain in this process, with the two probes that Wine cannot vary replaced.
class StartupTest : public ::testing::Test {
protected:
    static int Admin() { return 1; }
    static int NotAdmin() { return 0; }
    static long long freeBytes;
    static long long FreeBytes(const char*) { return freeBytes; }

    void SetUp() override {
        ResetSharedState();
        ClearLogs();
        g_startupProbes = StartupProbes{Admin, FreeBytes};
        freeBytes = 10LL << 30;
    }
    void TearDown() override {
        // A refused run leaves the event to the end of its process.
        CloseInstanceEvent();
        g_startupProbes = StartupProbes{IsCurUserAdmin, GetDiskFreeBytes};
    }
    std::vector<SeenBox> Run() {
        BoxWatcher watcher;
        EXPECT_EQ(SetupMain(), 0);
        Sleep(100);
        return watcher.Boxes();
    }
};
long long StartupTest::freeBytes = 0;

TEST_F(StartupTest, WithoutAdministratorRightsTheRunEndsWithItsBoxAndNoLog) {
    g_startupProbes.isCurUserAdmin = NotAdmin;
    ExpectBoxes(Run(), Expected("You do not have administrative privileges on this computer, the program "
                                "can not be installed!",
                                "您没有管理员权限，无法进行安装操作！"));
    EXPECT_TRUE(TodayLogMessages("setup").empty());
}

TEST_F(StartupTest, ThreeHundredMegabytesFreeIsEnoughAndOneByteLessIsNot) {
    freeBytes = 300LL * 1048576;
    EXPECT_TRUE(Run().empty());
    // The run goes on to the sequence, which this test program cannot carry.
    std::vector<std::string> log = TodayLogMessages("setup");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front(), "The C: free space is 300M.");
    EXPECT_EQ(log.back(), "Exit main");

    ClearLogs();
    freeBytes = 300LL * 1048576 - 1;
    ExpectBoxes(Run(), Expected("The sys disk must have at least 300M free space to finish the setup.",
                                "系统盘空间不足，安装要求系统盘必须有300M以上的空间。"));
    EXPECT_EQ(TodayLogMessages("setup"), std::vector<std::string>{"The C: free space is 299M."});
    KeepLogs("refused-low-disk");
}

TEST_F(StartupTest, AFailedFreeSpaceQueryDoesNotBlock) {
    freeBytes = -1;
    EXPECT_TRUE(Run().empty());
    std::vector<std::string> log = TodayLogMessages("setup");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front(), "The C: free space is 0M.");
    EXPECT_EQ(log.back(), "Exit main");
}

TEST_F(StartupTest, FreeSpaceBeyondTwoGigabytesIsLoggedFromItsLow32Bits) {
    freeBytes = 5000LL * 1048576;
    EXPECT_TRUE(Run().empty());
    std::vector<std::string> log = TodayLogMessages("setup");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.front(), "The C: free space is 5000M.");
}

// The real Setup.exe, started as a user would start it.
class SetupExeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedState();
        ClearLogs();
    }
};

TEST_F(SetupExeTest, ARunWithNothingToRefuseLogsTheFreeSpaceAndEnds) {
    ChildRun run = RunChild("\"" + SetupExe() + "\"");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.boxes.empty());
    std::vector<std::string> log = TodayLogMessages("setup");
    KeepLogs("bare-setup");
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log.front().rfind("The C: free space is ", 0), 0u) << log.front();
    EXPECT_TRUE(!log.front().empty() && log.front().back() == '.') << log.front();
    EXPECT_EQ(log[log.size() - 2], "install failed with Err 352.") << "the bare Setup.exe carries no pack";
    EXPECT_EQ(log.back(), "Exit main");
}

TEST_F(SetupExeTest, ASecondInstanceGetsItsBox) {
    HANDLE held = CreateEventA(nullptr, FALSE, FALSE, "evnt_Kivra_stpDamon");
    ASSERT_TRUE(held);
    ChildRun run = RunChild("\"" + SetupExe() + "\"");
    CloseHandle(held);
    EXPECT_EQ(run.exitCode, 0);
    ExpectBoxes(run.boxes, Expected(kAnotherInstanceEn, "有正在运行的客户端安装程序，请稍候再试。"));
    EXPECT_TRUE(TodayLogMessages("setup").empty());
}

TEST_F(SetupExeTest, ARunningCustomisationUpdaterGetsItsBox) {
    CreateDirectoryA("C:\\tmp", nullptr);
    ASSERT_TRUE(CopyFileA(HelperExe("sleeper").c_str(), "C:\\tmp\\UpdateCusInfo.exe", FALSE));
    HANDLE updater = StartChild("C:\\tmp\\UpdateCusInfo.exe 30000");
    ASSERT_TRUE(updater);
    Sleep(300);
    ChildRun run = RunChild("\"" + SetupExe() + "\"");
    TerminateProcess(updater, 0);
    WaitForSingleObject(updater, 5000);
    CloseHandle(updater);
    EXPECT_EQ(run.exitCode, 0);
    ExpectBoxes(run.boxes, Expected(kAnotherInstanceEn, "客户端正在升级定制信息，请稍后再试。"));
    std::vector<std::string> log = TodayLogMessages("setup");
    KeepLogs("refused-updater");
    ASSERT_EQ(log.size(), 1u) << "only the free-space line";
}

} // namespace
