// klog's line reader, file names and text decoding: any bytes in, entries
// and UTF-8 out.
#include <gtest/gtest.h>

#include "klog_support.h"
#include "log_entry.h"
#include "log_folder.h"
#include "text_decode.h"

using namespace klog;
using namespace klogtest;

namespace {

std::vector<LogEntry> Read(const std::string& bytes, ReadStats* stats) {
    std::vector<LogEntry> out;
    ReadLogEntries(bytes, 3, &out, stats);
    return out;
}

TEST(KlogReader, TakesEntriesApartAsTheWritersWroteThem) {
    ReadStats stats;
    std::vector<LogEntry> e = Read(SetupLine("2026-12-07 10:00:01", "1c4", "The C: free space is 5000M.") +
                                       SetupLine("2026-12-07 10:00:02", "1c4", "\r\n7-Zip\r\n[1] x\r\nEverything is Ok\r\n") +
                                       "[2026-12-07 23:59:59] [DTL] [0xab] detail\r\n",
                                   &stats);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].thread, 0x1c4u);
    EXPECT_EQ(e[0].file, 3);
    EXPECT_EQ(e[0].message, "The C: free space is 5000M.");
    EXPECT_EQ(e[1].message, "\r\n7-Zip\r\n[1] x\r\nEverything is Ok\r\n") << "one entry, its own line breaks kept";
    EXPECT_EQ(e[1].time - e[0].time, 1);
    EXPECT_TRUE(e[2].detail);
    EXPECT_EQ(e[2].thread, 0xabu);
    EXPECT_EQ(FormatTime(e[2].time), "2026-12-07 23:59:59");
    EXPECT_EQ(stats.unreadableBytes, 0u);
    EXPECT_FALSE(stats.truncatedEnd);
    for (const LogEntry& x : e) EXPECT_EQ(x.flags, 0);
}

TEST(KlogReader, CountsWhatBelongsToNoEntryAndFlagsCutLines) {
    const std::string good = SetupLine("2026-12-07 10:00:01", "1c4", "Exit main");
    struct Case {
        std::string bytes;
        size_t entries, unreadable;
        bool truncated;
    } cases[] = {
        {"garbage\r\n" + good, 1, 9, false},
        {good + "[2026-12-07 10:0", 1, 16, true},                 // cut inside the next time stamp
        {good + "[2026-12-07 10:00:02] [1c4] is-stp st", 2, 0, true},
        {good + std::string(4096, '\0'), 1, 4096, false},         // zeros after a power loss
        {"[2026-13-07 10:00:01] [1c4] month 13\r\n", 0, 38, false},
        {"[2026-12-07 24:00:00] [1c4] hour 24\r\n", 0, 37, false},
        {"[2026-12-07 23:60:00] [1c4] minute 60\r\n", 0, 39, false},
        {"[2026-12-07 23:59:60] [1c4] second 60\r\n", 0, 39, false},
        {"[2026-12-07 10:00:01] no tag\r\n", 1, 0, false},
        {"", 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        ReadStats stats;
        std::vector<LogEntry> e = Read(c.bytes, &stats);
        EXPECT_EQ(e.size(), c.entries);
        EXPECT_EQ(stats.unreadableBytes, c.unreadable);
        EXPECT_EQ(stats.truncatedEnd, c.truncated);
    }
    ReadStats stats;
    std::vector<LogEntry> e = Read("[2026-12-07 10:00:01] no tag\r\n", &stats);
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(e[0].flags, kEntryNoThread);
    e = Read(good + "[2026-12-07 10:00:02] [1c4] is-stp st", &stats);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[1].message, "is-stp st");
    EXPECT_EQ(e[1].flags, kEntryTruncated);
}

TEST(KlogReader, PiecesOfTwoWritersBetweenEachOtherGiveTwoEntries) {
    // Each writer emits time stamp, tag, message and "\r\n" with separate writes.
    ReadStats stats;
    std::vector<LogEntry> e =
        Read("[2026-12-07 10:00:01] [2026-12-07 10:00:02] [1c4] [2b0] Exit mainExit main\r\n\r\n" +
                 SetupLine("2026-12-07 10:00:03", "2b0", "is-stp started at 1"),
             &stats);
    ASSERT_EQ(e.size(), 3u);
    EXPECT_EQ(e[0].thread, 0x1c4u);
    EXPECT_EQ(e[1].thread, 0x2b0u);
    EXPECT_EQ(e[0].flags & kEntryInterleaved, kEntryInterleaved);
    EXPECT_EQ(e[0].message, "Exit mainExit main") << "glued messages are not guessed apart";
    EXPECT_EQ(e[2].message, "is-stp started at 1");
}

TEST(KlogFolder, KnowsTheSetupsLogFilesByName) {
    struct Case {
        const char* name;
        bool log;
        LogKind kind;
        const char* date;
    } cases[] = {
        {"setup2026120701.log", true, kLogSetup, "2026-12-07"},
        {"STP_SETUP2026120701.LOG", true, kLogStpSetup, "2026-12-07"},
        {"stp_Setup2026113001.log", true, kLogStpSetup, "2026-11-30"},
        {"stp_UtlFile2026120802.log", true, kLogStpUtlFile, "2026-12-08"},
        {"stp_waitCpd2026120802.log", true, kLogStpWait, ""},
        {"IsCurUserAdmin2026120802.log", true, kLogIsCurUserAdmin, ""},
        {"stp_WorkDir2026120802.log", true, kLogOtherStp, ""},  // a category klog does not know yet
        {"setup2026120707.log", false, kLogSetup, ""},          // weekday 7
        {"setup2026120701 (1).log", false, kLogSetup, ""},
        {"setup2026120701.log.bak", false, kLogSetup, ""},
        {"stp_2026120701.log", false, kLogSetup, ""},
        {"setup.log", false, kLogSetup, ""},
        {"KivraSetup2026120701.log", false, kLogSetup, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogFile file;
        EXPECT_EQ(ParseLogFileName(c.name, &file), c.log);
        if (!c.log) continue;
        EXPECT_EQ(file.kind, c.kind);
        if (*c.date) {
            EXPECT_EQ(file.date, c.date);
        }
    }
}

TEST(KlogDecode, GbkAndAnyOtherBytesComeOutAsUtf8) {
    const std::string gbk = "C:\\\xB0\xB2\xD7\xB0\\Setup.exe";  // 安装 in GBK
    EXPECT_EQ(ToUtf8(gbk, kCodePageAuto), "C:\\安装\\Setup.exe");
    EXPECT_EQ(ToUtf8(gbk, kCodePageGbk), "C:\\安装\\Setup.exe");
    EXPECT_EQ(ToUtf8("caf\xE9 1", kCodePageAuto), "café 1") << "no GBK: Windows-1252";
    EXPECT_EQ(ToUtf8("\x80", kCodePage1252), "€");
    EXPECT_EQ(ToUtf8("caf\xC3\xA9", kCodePageAuto), "café") << "valid UTF-8 stays, though GBK reads it too";
    EXPECT_EQ(ToUtf8("a\x1B[2Jb\xC2\x9B" "1mc\tc\r\n", kCodePageAuto), "a\xEF\xBF\xBD[2Jb\xEF\xBF\xBD" "1mc\tc\r\n")
        << "no terminal control, 7-bit or 8-bit";
    EXPECT_EQ(ToUtf8("\xFF\xFE", kCodePageGbk), "\xEF\xBF\xBD\xEF\xBF\xBD");
    CodePage page;
    EXPECT_TRUE(ParseCodePage("936", &page));
    EXPECT_EQ(page, kCodePageGbk);
    EXPECT_FALSE(ParseCodePage("utf-16", &page));
}

}  // namespace
