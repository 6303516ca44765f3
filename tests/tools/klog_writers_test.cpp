// klog's JSON and HTML: what pipelines and browsers rely on, whatever bytes
// the logs held.
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <nlohmann/json.hpp>

#include "display_text.h"
#include "klog_support.h"
#include "writers.h"

using namespace klog;
using namespace klogtest;

namespace {

// A folder of a failed run whose lines hold GBK, stray bytes and markup.
std::string HostileFolder(const std::string& name) {
    const std::string dir = TempFolder(name);
    WriteFile(dir + "/setup2026120701.log",
              SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 5000M.") +
                  SetupLine("2026-12-07 10:00:00", "1c4", "C:\\\xB0\xB2\xD7\xB0\\<b>Setup.exe") +
                  SetupLine("2026-12-07 10:00:01", "1c4", "new \xFF\xFE line </td><script>") +
                  SetupLine("2026-12-07 10:00:01", "1c4", "install failed with Err 352.") +
                  SetupLine("2026-12-07 10:00:01", "1c4", "Exit main"));
    return dir;
}

TEST(KlogJson, ShowAndFleetFollowTheirSchemaWhateverTheBytes) {
    const std::string dir = HostileFolder("json");
    nlohmann::json show = nlohmann::json::parse(ShowJson(AnalyseFolder(dir, kCodePageAuto, false)));
    EXPECT_EQ(show["schema"], "klog-show");
    EXPECT_EQ(show["schemaVersion"], kJsonSchemaVersion);
    ASSERT_EQ(show["runs"].size(), 1u);
    const nlohmann::json& run = show["runs"][0];
    EXPECT_EQ(run["outcome"], "failed");
    EXPECT_EQ(run["code"], 352);
    EXPECT_EQ(run["freeSpaceMB"], 5000);
    EXPECT_TRUE(run["installer"].is_null());
    EXPECT_EQ(run["unknownLineCount"], 1);
    ASSERT_GE(run["lines"].size(), 2u);
    EXPECT_EQ(run["lines"][1]["text"], "C:\\安装\\<b>Setup.exe") << "the carrier path, decoded";
    for (const char* field : {"start", "end", "thread", "hasStartLine", "hasExitMain", "summary", "detail", "check",
                              "drive", "password", "msi", "warnings", "lines", "unknownLines"})
        EXPECT_TRUE(run.contains(field)) << field;

    std::vector<MachineReport> machines = {AnalyseMachine(dir, kCodePageAuto),
                                           AnalyseMachine(dir + "/none/KivraLog", kCodePageAuto)};
    nlohmann::json fleet = nlohmann::json::parse(FleetJson(machines));
    EXPECT_EQ(fleet["schema"], "klog-fleet");
    EXPECT_EQ(fleet["machineCount"], 2);
    EXPECT_EQ(fleet["machines"][0]["outcome"], "failed");
    EXPECT_EQ(fleet["machines"][1]["machine"], "none") << "a folder called KivraLog is named after its parent";
    EXPECT_EQ(fleet["machines"][1]["outcome"], "unreadable");
    EXPECT_TRUE(fleet["machines"][1]["lastRun"].is_null());
    EXPECT_EQ(fleet["counts"].size(), (size_t)kOutcomeCount + 2) << "every outcome, zeros included";
    EXPECT_EQ(fleet["counts"]["installed"], 0);
}

TEST(KlogFleet, AMachineIsNamedByItsFolderAndShownByItsLatestRun) {
    // Collected by hand, the folder's name in lower case; a run of last week
    // and a later one.
    const std::string machine = TempFolder("fleet") + "/PC-017";
    mkdir(machine.c_str(), 0755);
    mkdir((machine + "/kivralog").c_str(), 0755);
    WriteFile(machine + "/kivralog/setup2026120701.log",
              SetupLine("2026-12-07 09:00:00", "1c4", "The C: free space is 120M."));
    WriteFile(machine + "/kivralog/setup2026113001.log", InstalledRun("2026-11-30", "11:11:11", "a10"));
    const MachineReport m = AnalyseMachine(machine + "/kivralog/", kCodePageAuto);
    EXPECT_EQ("PC-017", m.machine);
    EXPECT_EQ(2u, m.runs);
    EXPECT_EQ("refused-low-disk", std::string(MachineOutcome(m)));
    EXPECT_EQ("2026-12-07 09:00:00", m.last.start);
    EXPECT_EQ("KIVRALOG", MachineName("KIVRALOG")) << "no parent to be named after";
}

TEST(KlogHtml, ThePageNeedsNothingFromElsewhereAndEscapesTheLogs) {
    const std::string dir = HostileFolder("<PC-1>");
    std::string page = FleetHtml({AnalyseMachine(dir, kCodePageAuto)});
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("src="), std::string::npos);
    EXPECT_EQ(page.find("href="), std::string::npos);
    EXPECT_EQ(page.find("url("), std::string::npos);
    EXPECT_NE(page.find("default-src 'none'"), std::string::npos);
    EXPECT_NE(page.find("&lt;PC-1&gt;"), std::string::npos) << "the machine's name is escaped";
    EXPECT_NE(page.find("<svg"), std::string::npos);
    EXPECT_NE(page.find("failed 352"), std::string::npos);
}

// A machine folder named with terminal controls, its logs in a KivraLog folder
// of its own, and a carrier-replaced warning that quotes a GBK path: what the
// writers show of such bytes, and where the fleet looks for them.
TEST(KlogText, EveryNameAndWarningIsShownByTheOneRule) {
    const std::string machine = TempFolder("layout") + "/PC\x1B[31m-9\xFF";
    mkdir(machine.c_str(), 0755);
    mkdir((machine + "/KivraLog").c_str(), 0755);
    WriteFile(machine + "/KivraLog/setup2026120701.log",
              SetupLine("2026-12-07 10:00:00", "1c4", "The C: free space is 5000M.") +
                  SetupLine("2026-12-07 10:00:01", "1c4",
                            "C:\\\xD3\xC3\xBB\xA7\\\xCF\xC2\xD4\xD8\\Setup.exe is no longer the program that is "
                            "running; it is not used.") +
                  SetupLine("2026-12-07 10:00:01", "1c4", "install failed with Err 0.") +
                  SetupLine("2026-12-07 10:00:01", "1c4", "Exit main"));
    const MachineReport m = AnalyseMachine(machine, kCodePageAuto);
    EXPECT_EQ("failed", std::string(MachineOutcome(m))) << "read through its KivraLog folder";
    EXPECT_EQ("PC\xEF\xBF\xBD[31m-9\xEF\xBF\xBD", m.machine);

    nlohmann::json fleet = nlohmann::json::parse(FleetJson({m}));
    const std::string warning = fleet["machines"][0]["lastRun"]["warnings"][0]["text"];
    EXPECT_EQ(0u, warning.find("C:\\用户\\下载\\Setup.exe was replaced")) << "decoded as its line: " << warning;

    char* buffer = nullptr;
    size_t size = 0;
    FILE* out = open_memstream(&buffer, &size);
    WriteFleetText(out, {m});
    WriteShowText(out, AnalyseFolder(machine, kCodePageAuto, false));
    fclose(out);
    const std::string text(buffer, size);
    free(buffer);
    EXPECT_EQ(std::string::npos, text.find('\x1B'));
    EXPECT_EQ(std::string::npos, text.find('\xFF'));
    EXPECT_NE(std::string::npos, text.find("C:\\用户\\下载\\Setup.exe"));
    EXPECT_NE(std::string::npos, text.find("1 machine:"));
    EXPECT_NE(std::string::npos, text.find("1 log file, 1 run\n"));
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
        const std::string line = text.substr(start, nl - start);
        if (line.find("  setup  ") == std::string::npos) {  // a quoted log line keeps its length
            EXPECT_LE(tools::DisplayWidth(line), 100u) << line;
        }
    }
}

}  // namespace
