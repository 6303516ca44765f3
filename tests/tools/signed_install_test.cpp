// The carrier that scripts/check-signed-carrier.sh made and signed, run as
// Setup.exe under Wine: the appended signature must not disturb the install.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";

TEST(SignedCarrier, InstallsEndToEnd) {
    std::string signedExe = ReadFileBytes(BuildPath("signed/Setup.exe"));
    ASSERT_FALSE(signedExe.empty());
    ClearLogs();
    PrepareSetupRun();
    ASSERT_TRUE(WriteFileBytes("C:\\carrier\\Setup.exe", signedExe));

    ChildRun run = RunChild("C:\\carrier\\Setup.exe", 120000);
    EXPECT_EQ(0, run.exitCode);
    EXPECT_TRUE(run.boxes.empty());
    std::vector<std::string> log = TodayLogMessages("setup");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("Exit main", log.back());
    EXPECT_TRUE(std::none_of(log.begin(), log.end(),
                             [](const std::string& e) { return e.rfind("install failed", 0) == 0; }));
    // Every packed file arrived whole, and the installer stand-in ran.
    for (const auto& file : ReadFolder(BuildPath("demo-payload")))
        EXPECT_EQ(file.second, ReadFileBytes(W + "\\" + file.first)) << file.first;
    EXPECT_EQ("KivraSetup.exe ran\r\n", ReadFileBytes(W + "\\KivraSetup-record.txt"));
}

}  // namespace
