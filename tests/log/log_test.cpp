#include <gtest/gtest.h>

#include <stdio.h>

#include "log/log.h"
#include "support/winsupport.h"

namespace {

std::string ThreadTag(const char* format) {
    char tag[32];
    snprintf(tag, sizeof tag, format, (unsigned)GetCurrentThreadId());
    return tag;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Checks one whole line: "[YYYY-MM-DD hh:mm:ss] " + middle + "\r\n", the time
// stamp being today's local time.
void ExpectLine(const std::string& line, const std::string& middle) {
    ASSERT_GE(line.size(), 22u + middle.size() + 2);
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[16];
    snprintf(date, sizeof date, "[%04u-%02u-%02u ", now.wYear, now.wMonth, now.wDay);
    EXPECT_EQ(line.substr(0, 12), date);
    EXPECT_EQ(line[14], ':');
    EXPECT_EQ(line[17], ':');
    EXPECT_EQ(line.substr(20, 2), "] ");
    EXPECT_EQ(line.substr(22), middle + "\r\n");
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearLogs();
        bLogDetail = 0;
    }
    void TearDown() override { bLogDetail = 0; }
};

TEST_F(LogTest, EachWriterWritesItsExactLineIntoItsDailyFile) {
    SetupLog("hello setup");
    ModuleLog("UtlFile", "hello module", 0);
    PlainLog("IsCurUserAdmin", "hello plain");

    std::string day = LogDateStamp();
    ExpectLine(ReadFileBytes("C:\\KivraLog\\setup" + day + ".log"), ThreadTag("[%x] ") + "hello setup");
    ExpectLine(ReadFileBytes("C:\\KivraLog\\stp_UtlFile" + day + ".log"),
               ThreadTag("[0x%x] ") + "hello module");
    ExpectLine(ReadFileBytes("C:\\KivraLog\\IsCurUserAdmin" + day + ".log"),
               ThreadTag("[%x] ") + "hello plain");
}

TEST_F(LogTest, LinesAreAppendedAndMultiLineMessagesStayOneEntry) {
    SetupLog("first");
    SetupLog("7-Zip output\r\nline two\r\nEverything is Ok");
    std::string text = ReadFileBytes("C:\\KivraLog\\setup" + LogDateStamp() + ".log");
    size_t second = text.find("\r\n[") + 2;
    ExpectLine(text.substr(0, second), ThreadTag("[%x] ") + "first");
    ExpectLine(text.substr(second), ThreadTag("[%x] ") + "7-Zip output\r\nline two\r\nEverything is Ok");
    EXPECT_EQ(TodayLogMessages("setup").size(), 2u);
}

TEST_F(LogTest, DetailLinesNeedBothFlags) {
    ModuleLog("detail", "dropped", 1);
    EXPECT_FALSE(Exists("C:\\KivraLog\\stp_detail" + LogDateStamp() + ".log"));

    bLogDetail = 1;
    ModuleLog("detail", "kept", 1);
    ExpectLine(ReadFileBytes("C:\\KivraLog\\stp_detail" + LogDateStamp() + ".log"),
               "[DTL] " + ThreadTag("[0x%x] ") + "kept");
}

TEST_F(LogTest, FirstLineOfADayRemovesThatWeekdaysEarlierFilesOnly) {
    const std::string dir = "C:\\KivraLog\\";
    std::string lastWeek = dir + "setup" + LogDateStampDaysAway(-7) + ".log";
    std::string twoWeeks = dir + "setup" + LogDateStampDaysAway(-14) + ".log";
    ASSERT_TRUE(WriteFileBytes(lastWeek, "old\r\n"));
    ASSERT_TRUE(WriteFileBytes(twoWeeks, "older\r\n"));
    SetFileAttributesA(twoWeeks.c_str(), FILE_ATTRIBUTE_READONLY);
    std::vector<std::string> otherDays;
    for (int d = -6; d <= -1; ++d) {
        otherDays.push_back(dir + "setup" + LogDateStampDaysAway(d) + ".log");
        ASSERT_TRUE(WriteFileBytes(otherDays.back(), "kept\r\n"));
    }
    std::string otherLog = dir + "stp_Setup" + LogDateStampDaysAway(-7) + ".log";
    ASSERT_TRUE(WriteFileBytes(otherLog, "another log\r\n"));

    SetupLog("new day");

    EXPECT_FALSE(Exists(lastWeek));
    EXPECT_FALSE(Exists(twoWeeks)) << "read-only files go too";
    for (const std::string& path : otherDays) EXPECT_TRUE(Exists(path)) << path;
    EXPECT_TRUE(Exists(otherLog));

    // Later lines of the same day delete nothing.
    ASSERT_TRUE(WriteFileBytes(lastWeek, "old\r\n"));
    SetupLog("same day");
    EXPECT_TRUE(Exists(lastWeek));
}

TEST_F(LogTest, ShorterCategoryCleansUpTheLongerCategorysFilesOfTheWeekday) {
    // "Setup" is a prefix of "SetupAll": their clean-up patterns overlap, so the
    // first "Setup" line of the day removes "SetupAll" files of this weekday,
    // today's included. That is how the file names work; the test pins it down.
    const std::string day = LogDateStamp();
    ModuleLog("SetupAll", "written first", 0);
    std::string longer = "C:\\KivraLog\\stp_SetupAll" + day + ".log";
    ASSERT_TRUE(Exists(longer));
    ModuleLog("Setup", "first line of the day", 0);
    EXPECT_FALSE(Exists(longer));
    EXPECT_TRUE(Exists("C:\\KivraLog\\stp_Setup" + day + ".log"));
}

TEST_F(LogTest, AMissingLogDirectoryIsCreated) {
    RemoveTree("C:\\KivraLog");
    SetupLog("after removal");
    EXPECT_EQ(TodayLogMessages("setup"), std::vector<std::string>{"after removal"});
}

} // namespace
