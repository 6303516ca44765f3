// klog on the KivraLog folders that the real Setup.exe wrote under Wine
// (kept by the end-to-end tests with KeepLogs): every scenario must be there
// and get its outcome, its code and exactly its warnings. A changed log line
// that klog relies on shows here as a wrong outcome.
//   klog_kept_logs KLOG KIVRALOGS_DIR
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>
#include <ostream>
#include <set>
#include <string>

namespace {

std::string g_klog, g_kept;

struct Scenario {
    const char* folder;
    const char* outcome;
    int code;  // -1: none
    std::set<std::string> warnings;
    const char* password;  // nullptr: not checked
    bool msi;
    const char* inWarnings = "";  // a text one of the warnings holds
};

const Scenario kScenarios[] = {
    {"installed", "installed", -1, {}, "not-asked", false},
    {"qt-archive-corrupt", "installed", -1, {"archive-not-extracted"}, "not-asked", false},
    {"failed-355", "failed", 355, {}, nullptr, false},
    {"failed-357", "failed", 357, {}, nullptr, false},
    {"installer-not-seen", "installer-not-seen", -1, {}, nullptr, false},
    {"failed-352", "failed", 352, {}, nullptr, false},
    {"failed-160", "failed", 160, {}, nullptr, false},
    {"bare-setup", "failed", 352, {}, "not-asked", false},
    {"msi-installed", "installed", -1, {}, nullptr, true},
    {"msi-copy-replaced", "installed", -1, {"package-copy-untrusted"}, nullptr, true},
    {"carrier-replaced", "failed", 0, {"carrier-replaced"}, "accepted", false},
    {"msi-no-source", "failed", 0, {"msi-source-retries"}, nullptr, true},
    {"msi-source-untrusted", "failed", 0, {}, nullptr, true},
    {"second-instance", "installed", -1, {}, nullptr, false},
    {"refused-low-disk", "refused-low-disk", -1, {}, nullptr, false},
    {"refused-updater", "refused-updater", -1, {}, nullptr, false},
    {"password-accepted", "installed", -1, {}, "accepted", false},
    {"password-refused", "password-refused", -1, {}, "refused", false},
    {"password-cancelled", "password-refused", -1, {}, "refused", false},
    {"archiver-missing", "installed", -1, {"archive-not-extracted", "managecfg-failed"}, nullptr, false,
     "the archiver could not be run (error 2: "},
    {"managecfg-fail", "installed", -1, {"managecfg-failed"}, nullptr, false},
    {"custom-files", "installed", -1, {"custom-files-restored", "verification-failed"}, "not-asked", false},
    {"killed", "unfinished", -1, {}, nullptr, false},
};

// Names a scenario in gtest's messages by its folder.
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.folder; }

bool IsDir(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Runs klog with arguments; returns its standard output and exit status.
std::string RunKlog(const std::string& args, int* status) {
    std::string out;
    FILE* p = popen(("'" + g_klog + "' " + args).c_str(), "r");
    if (!p) return out;
    char buf[65536];
    size_t got;
    while ((got = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, got);
    *status = pclose(p);
    return out;
}

void Check(const Scenario& s, const std::string& folder) {
    SCOPED_TRACE(folder);
    int status = -1;
    nlohmann::json doc = nlohmann::json::parse(RunKlog("show --json '" + folder + "'", &status), nullptr, false);
    ASSERT_EQ(status, 0);
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ(doc["schema"], "klog-show");
    EXPECT_EQ(doc["schemaVersion"], 1);
    ASSERT_EQ(doc["runs"].size(), 1u) << doc.dump(2);
    const nlohmann::json& run = doc["runs"][0];
    EXPECT_EQ(run["outcome"], s.outcome) << run.dump(2);
    if (s.code >= 0) {
        EXPECT_EQ(run["code"], s.code);
    } else {
        EXPECT_TRUE(run["code"].is_null());
    }
    std::set<std::string> warnings;
    std::string texts;
    for (const auto& w : run["warnings"]) {
        warnings.insert(w["kind"].get<std::string>());
        texts += w["text"].get<std::string>() + "\n";
    }
    EXPECT_EQ(warnings, s.warnings) << run.dump(2);
    EXPECT_NE(texts.find(s.inWarnings), std::string::npos) << texts;
    if (s.password) {
        EXPECT_EQ(run["password"], s.password);
    }
    EXPECT_EQ(run["msi"], s.msi);
    EXPECT_EQ(run["unknownLineCount"], 0) << "every line the setup wrote is known: " << run.dump(2);
    EXPECT_TRUE(run["hasStartLine"]);
    EXPECT_FALSE(run["lines"].empty());
    if (std::string(s.outcome) == "installed") {
        EXPECT_GE(run["installer"]["seenAfterChecks"].get<int>(), 0);
        EXPECT_LT(run["installer"]["seenAfterChecks"].get<int>(), 600);
    }
}

class KeptLogs : public ::testing::TestWithParam<Scenario> {};

TEST_P(KeptLogs, GetsItsOutcome) {
    const Scenario& s = GetParam();
    const std::string folder = g_kept + "/" + s.folder;
    ASSERT_TRUE(IsDir(folder)) << "no kept folder: the scenario did not run or no longer keeps its logs";
    Check(s, folder);
    // The same run in Chinese, where the tests run it so.
    if (IsDir(folder + "-zh")) Check(s, folder + "-zh");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, KeptLogs, ::testing::ValuesIn(kScenarios),
                         [](const ::testing::TestParamInfo<Scenario>& info) {
                             std::string name = info.param.folder;
                             for (char& c : name)
                                 if (c == '-') c = '_';
                             return name;
                         });

TEST(KeptFleet, EveryKeptFolderIsAMachineOfTheTableTheJsonAndThePage) {
    std::string dirs;
    for (const Scenario& s : kScenarios) dirs += " '" + g_kept + "/" + s.folder + "'";
    const std::string html = g_kept + "/fleet.html";
    remove(html.c_str());
    int status = -1;
    nlohmann::json doc = nlohmann::json::parse(RunKlog("fleet --json --html '" + html + "'" + dirs, &status));
    EXPECT_EQ(status, 0);
    const size_t n = sizeof kScenarios / sizeof kScenarios[0];
    ASSERT_EQ(doc["machines"].size(), n);
    size_t installed = 0, counted = 0;
    for (const Scenario& s : kScenarios) installed += std::string(s.outcome) == "installed";
    for (const auto& c : doc["counts"].items()) counted += c.value().get<size_t>();
    EXPECT_EQ(counted, n);
    EXPECT_EQ(doc["counts"]["installed"], installed);
    EXPECT_EQ(doc["machines"][0]["machine"], kScenarios[0].folder);

    std::string text = RunKlog("fleet" + dirs, &status);
    EXPECT_NE(text.find(std::to_string(n) + " machines:"), std::string::npos) << text;
    struct stat st;
    EXPECT_EQ(stat(html.c_str(), &st), 0);
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        fprintf(stderr, "usage: klog_kept_logs KLOG KIVRALOGS_DIR\n");
        return 2;
    }
    g_klog = argv[1];
    g_kept = argv[2];
    return RUN_ALL_TESTS();
}
