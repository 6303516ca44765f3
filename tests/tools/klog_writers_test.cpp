// klog's JSON and HTML: what pipelines and browsers rely on, whatever bytes
// the logs held.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

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

}  // namespace
