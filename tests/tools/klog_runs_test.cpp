// klog's runs and outcomes on folders that Wine cannot make: midnight, weeks,
// concurrent writers, damaged and missing files, and runs that must never be
// called installed. The runs that the real Setup.exe makes are judged in
// klog_kept_logs.
#include <gtest/gtest.h>

#include "codes.h"
#include "klog_support.h"

using namespace klog;
using namespace klogtest;

namespace {

const char kDay[] = "2026-12-07";  // a Monday: files ...2026120701.log

TEST(KlogRuns, ARunAcrossMidnightIsOneRunFromTwoDaysFiles) {
    FolderReport r = Analyse(KLOG_TEST_LOGS "/midnight");
    ASSERT_EQ(Outcomes(r), std::vector<std::string>{"installed"});
    const RunReport& run = r.runs[0];
    EXPECT_EQ(run.start, "2026-12-06 23:59:58");
    EXPECT_EQ(run.end, "2026-12-07 00:01:39");
    EXPECT_EQ(run.verdict.installerSeenAfter, 5);
    EXPECT_EQ(run.verdict.installerRanFor, 190);
    EXPECT_EQ(0u, run.verdict.detail.find("about 95 s from its start to its end")) << run.verdict.detail;
    EXPECT_EQ(run.verdict.password, kDialogNotShown);
    EXPECT_TRUE(run.verdict.warnings.empty());
    ASSERT_EQ(run.all.size(), 20u) << "every line of both days and of the other logs";
    EXPECT_EQ(run.all.front().text, "The C: free space is 41234M.");
    EXPECT_EQ(run.all.back().text, "Exit main");
}

TEST(KlogRuns, RunsOfADayAndOfLastWeekComeInTimeOrder) {
    const std::string dir = TempFolder("weeks");
    WriteFile(dir + "/setup2026120701.log",
              InstalledRun(kDay, "15:00:00", "a10") + SetupLine("2026-12-07 09:00:00", "b20", "The C: free space is 120M."));
    WriteFile(dir + "/setup2026113001.log", InstalledRun("2026-11-30", "11:11:11", "a10"));
    WriteFile(dir + "/stp_UtlFile2026120701.log",
              ModuleLine("2026-12-07 15:00:00", "a10", "utl_FileUnpack: The file is end."));
    FolderReport r = Analyse(dir);
    ASSERT_EQ(Outcomes(r), (std::vector<std::string>{"installed", "refused-low-disk", "installed"}));
    EXPECT_EQ(r.runs[0].start, "2026-11-30 11:11:11");
    EXPECT_EQ(r.runs[1].verdict.freeSpaceMb, 120);
    EXPECT_EQ(r.runs[1].verdict.summary, "refused at a start-up check: only 120 MB free on C: (300 MB needed)");
    ASSERT_EQ(r.runs[2].all.size(), r.runs[0].all.size() + 1) << "the unpacker's line joins its own run";
    EXPECT_EQ(r.runs[2].all[1].text, "utl_FileUnpack: The file is end.") << "before the archives of its second";
}

TEST(KlogRuns, LinesOfConcurrentWritersGoToTheirOwnRuns) {
    // Two runs whose lines alternate in one file, and a thread identifier that
    // a later process gets again after a run was killed.
    std::string a = InstalledRun(kDay, "10:00:00", "1c4"), b = InstalledRun(kDay, "10:00:00", "2d8");
    std::string mixed;
    for (size_t pa = 0, pb = 0; pa < a.size() || pb < b.size();) {
        for (size_t* p : {&pa, &pb}) {
            const std::string& s = p == &pa ? a : b;
            if (*p >= s.size()) continue;
            size_t next = s.find("\r\n[", *p);
            next = next == std::string::npos ? s.size() : next + 2;
            mixed += s.substr(*p, next - *p);
            *p = next;
        }
    }
    const std::string killed = SetupLine("2026-12-07 08:00:00", "1c4", "The C: free space is 800M.") +
                               SetupLine("2026-12-07 08:00:01", "1c4", "is-stp started at 2");
    const std::string dir = TempFolder("concurrent");
    WriteFile(dir + "/setup2026120701.log", killed + mixed);
    WriteFile(dir + "/stp_waitSetup2026120701.log",
              ModuleLine("2026-12-07 08:00:03", "1c4", "chkProcExist: createToolSnap failed with err: 8"));
    FolderReport r = Analyse(dir);
    ASSERT_EQ(Outcomes(r), (std::vector<std::string>{"unfinished", "installed", "installed"}));
    ASSERT_EQ(r.runs[0].verdict.warnings.size(), 1u);
    EXPECT_EQ(r.runs[0].verdict.warnings[0].kind, "process-list-unreadable");
    EXPECT_NE(r.runs[0].verdict.detail.find("while the installer ran"), std::string::npos);
    EXPECT_EQ(r.runs[1].all.size(), r.runs[2].all.size());
    EXPECT_TRUE(r.runs[1].verdict.warnings.empty()) << "each archive's output follows its own command";
}

TEST(KlogRuns, MissingExtraAndDamagedFilesAreToldNotFatal) {
    const std::string dir = TempFolder("damaged");
    // The setup log of the unpacker's run is gone; a garbage file carries a
    // log's name; the day's setup log ends inside a line.
    WriteFile(dir + "/stp_UtlFile2026120600.log", ModuleLine("2026-12-06 12:00:00", "77", "utl_FileUnpack:Err: 160."));
    std::string garbage;
    for (int i = 0; i < 5000; ++i) garbage += (char)(i * 131 + 7);
    WriteFile(dir + "/setup2026120500.log", garbage);
    WriteFile(dir + "/notes.txt", "collected by hand");
    WriteFile(dir + "/setup2026120701.log",
              SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 5000M.") + "[2026-12-07 10:00:01] [1c4] is-s");
    FolderReport r = Analyse(dir);
    ASSERT_EQ(Outcomes(r), (std::vector<std::string>{"partial", "unfinished"}));
    ASSERT_FALSE(r.runs[0].lines.empty());
    EXPECT_EQ(r.runs[0].lines.back().text, "utl_FileUnpack:Err: 160.");
    EXPECT_EQ(r.others, std::vector<std::string>{"notes.txt"});
    ASSERT_EQ(r.files.size(), 3u);
    EXPECT_GT(r.files[0].unreadableBytes, 0u);
    EXPECT_TRUE(r.files[2].truncatedEnd);
    EXPECT_EQ(r.runs[1].verdict.warnings.at(0).kind, "truncated-line");

    FolderReport none = Analyse(dir + "/not-there");
    EXPECT_TRUE(none.missing);
    EXPECT_TRUE(none.runs.empty());
}

TEST(KlogRuns, NoRunIsCalledInstalledWithoutTheLinesThatProveIt) {
    const std::string full = InstalledRun(kDay, "10:00:00", "1c4");
    auto without = [&](const std::string& message) {
        std::string s = full;
        size_t at = s.find("] " + message), line = s.rfind("\r\n", at) + 2;
        s.erase(line, s.find("\r\n", at) + 2 - line);
        return s;
    };
    struct Case {
        std::string log;
        const char* outcome;
    } cases[] = {
        {without("is-stp ended at 14."), "partial"},
        {without("Exit main"), "unfinished"},
        {without("is-stp started at 4"), "installed"},  // "ended" and "Exit main" still prove it
        {without("Exit main") + SetupLine("2026-12-07 10:00:00", "1c4", "install failed with Err 357.") +
             SetupLine("2026-12-07 10:00:00", "1c4", "Exit main"),
         "failed"},
        {SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 5000M.") +
             SetupLine("2026-12-07 10:00:30", "1c4", "is-stp started at 600") +
             SetupLine("2026-12-07 10:00:30", "1c4", "is-stp ended at 0.") + SetupLine("2026-12-07 10:00:30", "1c4", "Exit main"),
         "installer-not-seen"},
        {SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 5000M.") +
             SetupLine("2026-12-07 10:00:00", "1c4", "Exit main"),
         "password-refused"},
        {SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 0M."), "refused-low-disk"},
        {SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 299M."), "refused-low-disk"},
        {SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 300M."), "refused-updater"},
        {SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is -2048M."), "refused-updater"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.outcome);
        const std::string dir = TempFolder("proof");
        WriteFile(dir + "/setup2026120701.log", c.log);
        EXPECT_EQ(Outcomes(Analyse(dir)), std::vector<std::string>{c.outcome});
    }
}

TEST(KlogRuns, SilenceEndsARunOnlyWhereItsProcessMustHaveEnded) {
    // An installer left open for three hours is still its run's. The
    // unpacker's lines, their setup log gone: an hour apart is one run, a
    // second more is the next. The administrator check's lines of one refused
    // start come within a minute.
    const std::string dir = TempFolder("silence");
    std::string longRun = InstalledRun(kDay, "08:00:00", "a10");
    longRun.replace(longRun.find("08:00:00] [a10] is-stp ended"), 8, "11:00:00");
    longRun.replace(longRun.find("08:00:00] [a10] Exit main"), 8, "11:00:00");
    WriteFile(dir + "/setup2026120701.log", longRun);
    WriteFile(dir + "/stp_UtlFile2026120701.log",
              ModuleLine("2026-12-07 10:00:00", "1c4", "utl_FileUnpack: The file is end.") +
                  ModuleLine("2026-12-07 11:00:00", "1c4", "utl_FileUnpack: The file is end.") +
                  ModuleLine("2026-12-07 12:00:01", "1c4", "utl_FileUnpack: The file is end."));
    WriteFile(dir + "/IsCurUserAdmin2026120701.log",
              SetupLine("2026-12-07 13:00:00", "2d8", "Cannot open process token") +
                  SetupLine("2026-12-07 13:01:00", "2d8", "GetTokenInformation error") +
                  SetupLine("2026-12-07 13:02:01", "2d8", "GetTokenInformation error"));
    FolderReport r = Analyse(dir);
    ASSERT_EQ(Outcomes(r), (std::vector<std::string>{"installed", "partial", "partial", "refused-not-admin",
                                                     "refused-not-admin"}));
    EXPECT_EQ(r.runs[0].end, "2026-12-07 11:00:00");
    EXPECT_EQ(r.runs[1].all.size(), 2u);
    EXPECT_EQ(r.runs[3].all.size(), 2u);
}

TEST(KlogRuns, ThePasswordDialogIsToldByWhatFollowedIt) {
    const std::string prompt = ModuleLine("2026-12-07 10:00:00", "1c4", "IsUninstallPrompt:Need prompt uninstall password Dlg");
    const std::string start = SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 5000M.");
    std::string accepted = InstalledRun(kDay, "10:00:00", "1c4");
    accepted.insert(start.size(), SetupLine("2026-12-07 10:00:00", "1c4", "g_bExit = TRUE;") +
                                      SetupLine("2026-12-07 10:00:00", "1c4", "Begin UnpackAndSetup"));
    struct Case {
        std::string setupLog;
        Password password;
    } cases[] = {
        {accepted, kDialogAccepted},
        {start, kDialogShown},  // killed while the dialog was open
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        const std::string dir = TempFolder("dialog");
        WriteFile(dir + "/setup2026120701.log", c.setupLog);
        WriteFile(dir + "/stp_Setup2026120701.log", prompt);
        FolderReport r = Analyse(dir);
        ASSERT_EQ(r.runs.size(), 1u);
        EXPECT_EQ(r.runs[0].verdict.password, c.password);
    }
}

TEST(KlogRuns, AFailedAdministratorCheckAndUnknownLinesAreShown) {
    const std::string dir = TempFolder("admin");
    WriteFile(dir + "/IsCurUserAdmin2026120701.log", SetupLine("2026-12-07 09:59:00", "1c4", "GetTokenInformation error"));
    WriteFile(dir + "/setup2026120701.log",
              SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 5000M.") +
                  SetupLine("2026-12-07 10:00:00", "1c4", "CreateWorkDir: C:\\tmp\\KivraSetup0 cannot be made.") +
                  SetupLine("2026-12-07 10:00:00", "1c4", "install failed with Err 351.") +
                  SetupLine("2026-12-07 10:00:00", "1c4", "Exit main"));
    WriteFile(dir + "/stp_Setup2026120701.log",
              ModuleLine("2026-12-07 10:00:00", "1c4", "IsUninstallPrompt:!dwResult, return false."));
    FolderReport r = Analyse(dir);
    ASSERT_EQ(Outcomes(r), (std::vector<std::string>{"refused-not-admin", "failed"}));
    EXPECT_EQ(r.runs[0].lines.at(0).log, "IsCurUserAdmin");
    const Verdict& v = r.runs[1].verdict;
    EXPECT_EQ(v.code, 351);
    EXPECT_EQ(v.detail, SetupCode(351)->meaning);
    EXPECT_EQ(v.password, kDialogNotShown);
    ASSERT_EQ(r.runs[1].unknown.size(), 1u) << "a line klog does not know is shown as it stands";
    EXPECT_EQ(r.runs[1].unknown[0].text, "CreateWorkDir: C:\\tmp\\KivraSetup0 cannot be made.");
}

TEST(KlogCodes, EveryCodeOfTheSetupHasItsMeaning) {
    std::vector<int> codes = {0, 112, 150, 151, 152, 351, 352, 355, 356, 357};
    for (int c = 155; c <= 166; ++c) codes.push_back(c);
    for (int c : codes) {
        SCOPED_TRACE(c);
        const CodeMeaning* m = SetupCode(c);
        ASSERT_NE(m, nullptr);
        EXPECT_GT(strlen(m->meaning), 20u);
        EXPECT_GT(strlen(m->check), 20u);
    }
    for (int c : {153, 154, 353, 354, 2}) EXPECT_EQ(SetupCode(c), nullptr) << c;
    ASSERT_NE(RunnerCode(2), nullptr);
    EXPECT_NE(std::string(RunnerCode(2)->meaning).find("7za.exe"), std::string::npos);
}

}  // namespace
