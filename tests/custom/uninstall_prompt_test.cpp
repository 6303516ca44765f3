#include <string.h>

#include <algorithm>

#include "custom/uninstall_prompt.h"
#include "custom_fixture.h"
#include "support/winsupport.h"

namespace {

const std::string kPrefix = "IsUninstallPrompt:";

bool Has(const std::vector<std::string>& log, const std::string& entry) {
    return std::find(log.begin(), log.end(), entry) != log.end();
}

bool AnyContains(const std::vector<std::string>& log, const std::string& text) {
    for (const std::string& entry : log)
        if (entry.find(text) != std::string::npos) return true;
    return false;
}

class UninstallPromptTest : public CustomTest {
protected:
    char password[132] = {0};
    int Ask() { return IsUninstallPrompt("setup", password); }
    void InstallClient(const char* key = kCurrentProductKey) { SetRegString(key, "DisplayVersion", "5.2.1"); }
};

TEST_F(UninstallPromptTest, AVerifiedCustomXmlGivesItsPasswordEnciphered) {
    std::string stored = Encipher("Secret-1");
    WritePair(kRegInfo, "KivraCustom.xml",
              CustomXml("<functions><uninstall>1</uninstall><uninstallPassword>" + stored +
                        "</uninstallPassword></functions>"),
              "KivraCustomXml.vrf");
    InstallClient();
    EXPECT_EQ(Ask(), 1);
    EXPECT_EQ(std::string(password), stored) << "the cipher text, never the clear password";
    std::vector<std::string> log = Log();
    EXPECT_EQ(log, (std::vector<std::string>{kPrefix + "Get UninstallPwd from ivraCustom.xml succ.",
                                             kPrefix + "Get Version from reg succ. 5.2.1",
                                             kPrefix + "Need prompt uninstall password Dlg"}));
}

TEST_F(UninstallPromptTest, TheFlagNotThePasswordDecides) {
    WritePair(kRegInfo, "KivraCustom.xml",
              CustomXml("<functions><uninstall>2</uninstall><uninstallPassword>" + Encipher("pw") +
                        "</uninstallPassword></functions>"),
              "KivraCustomXml.vrf");
    InstallClient();
    EXPECT_EQ(Ask(), 1);
    EXPECT_STREQ(password, "") << "only a flag of exactly 1 hands the password over";

    // A flag with no client installed asks for nothing.
    SetUp();
    WritePair(kRegInfo, "KivraCustom.xml", CustomXml("<functions><uninstall>1</uninstall></functions>"),
              "KivraCustomXml.vrf");
    EXPECT_EQ(Ask(), 0);
    EXPECT_EQ(LastMessage(Log()), kPrefix + "Get Version from old reg failed, return false.");
}

TEST_F(UninstallPromptTest, AVerifiedCustomIniWithAnEmptyPasswordStillAsks) {
    WritePair(kRegInfo, "KivraCustom.ini", "[Functions]\r\nUninstall=1\r\nInstall=\r\n", "KivraCustom.vrf");
    InstallClient();
    EXPECT_EQ(Ask(), 1);
    EXPECT_STREQ(password, "");
    EXPECT_FALSE(AnyContains(Log(), "Get UninstallPwd"));
}

TEST_F(UninstallPromptTest, RepairEntriesOfEachFailedSourceComeInOrder) {
    WritePair(kRegInfo, "KivraUninstallInfo.ini", "[Functions]\r\nUninstall=1\r\nInstall=StoredText==\r\n",
              "KivraUninstallInfo.vrf");
    InstallClient(kOlderProductKey);
    EXPECT_EQ(Ask(), 1);
    EXPECT_STREQ(password, "StoredText==");
    const std::string failed = " ,So copy bak files!";
    EXPECT_EQ(Log(),
              (std::vector<std::string>{
                  kPrefix + "verifying KivraCustom xml info FAILED with Err " + failed +
                      "CopyFile KivraCustom.xml return false!",
                  kPrefix + "verifying uninstall info FAILED with Err " + failed +
                      "CopyFile KivraUninstallInfo.xml return false!",
                  "utl_LoadCusIniFile:CusIniVerify new failed,try for old.",
                  "utl_LoadCusIniFile:CusIniVerify old failed,return false.",
                  kPrefix + "verifying KivraCustom ini info FAILED with Err " + failed +
                      "CopyFile KivraCustom.ini return false!",
                  kPrefix + "Get UninstallPwd from KivraUninstallInfo.ini succ.",
                  kPrefix + "Get Version from new reg failed, try old.",
                  kPrefix + "Get Version from old reg succ, return true."}));
}

TEST_F(UninstallPromptTest, ABrokenPairIsRepairedFromGoodBackups) {
    std::string xml = CustomXml("<uninstallInfo><uninstall>1</uninstall><uninstallPass>Q2lwaGVy</uninstallPass>"
                                "</uninstallInfo>");
    WritePair(kBackup, "KivraUninstallInfo.xml", xml, "KivraUninstallInfoXml.vrf");
    WritePair(kRegInfo, "KivraUninstallInfo.xml", xml + " ", ""); // changed after its .vrf was made
    WriteFileBytes(kRegInfo + "\\KivraUninstallInfoXml.vrf", ReadFileBytes(kBackup + "\\KivraUninstallInfoXml.vrf"));
    InstallClient();
    EXPECT_EQ(Ask(), 1);
    EXPECT_STREQ(password, "Q2lwaGVy") << "kept as stored";
    EXPECT_EQ(ReadFileBytes(kRegInfo + "\\KivraUninstallInfo.xml"), xml);
    EXPECT_TRUE(Has(Log(), kPrefix + "Get UninstallPwd from KivraUninstallInfo.xml succ."));
    EXPECT_TRUE(Has(Log(), kPrefix + "verifying uninstall info FAILED with Err  ,So copy bak files!"))
        << "a repair that succeeds logs its start only";

    // A missing verification backup ends the repair after the data file was copied.
    SetUp();
    WritePair(kBackup, "KivraCustom.xml", CustomXml(""), "");
    Ask();
    EXPECT_TRUE(Has(Log(), kPrefix + "verifying KivraCustom xml info FAILED with Err  ,So copy bak files!"
                                     "CopyFile KivraCustomxml.vrf return false!"));
    EXPECT_EQ(ReadFileBytes(kRegInfo + "\\KivraCustom.xml"), CustomXml(""));
}

TEST_F(UninstallPromptTest, ACustomXmlThatVerifiesOnlyBoundToItsIcon) {
    std::string icon = MakeIcon(600);
    std::string xml = CustomXml("<functions><uninstall>1</uninstall></functions>"
                                "<logoOptions><CusIconName>cus.ico</CusIconName></logoOptions>");
    WritePair(kRegInfo, "KivraCustom.xml", xml, "KivraCustomXml.vrf", icon);
    WriteFileBytes(kRegInfo + "\\cus.ico", icon);
    InstallClient();
    EXPECT_EQ(Ask(), 1);
    EXPECT_FALSE(AnyContains(Log(), "FAILED")) << "the custom XML counts as verified";
}

TEST_F(UninstallPromptTest, WithoutFilesTheRegistryDecides) {
    SetRegDword("SOFTWARE\\Orm\\Kivra", "Uninstall", 1);
    SetRegString("SOFTWARE\\Orm\\Kivra", "UninstallPwd", "FromOlderKey==");
    SetRegString("SOFTWARE\\Kivra", "UninstallPwd", "FromCurrentKey==");
    InstallClient();
    EXPECT_EQ(Ask(), 1);
    EXPECT_STREQ(password, "FromOlderKey==") << "the password comes from the key whose flag was read";
    std::vector<std::string> log = Log();
    EXPECT_TRUE(Has(log, kPrefix + "Get Uninstall from reg failed"));
    EXPECT_FALSE(Has(log, kPrefix + "Get Uninstall from old reg failed"));
    EXPECT_TRUE(Has(log, kPrefix + "Get UninstallPwd from reg Succ."));

    SetUp();
    memset(password, 0, sizeof password);
    InstallClient();
    SetRegString("SOFTWARE\\Kivra", "UninstallPwd", std::string(129, 'x').c_str());
    EXPECT_EQ(Ask(), 0);
    log = Log();
    EXPECT_TRUE(Has(log, kPrefix + "Get Uninstall from old reg failed"));
    EXPECT_TRUE(Has(log, kPrefix + "Get UninstallPwd from reg fail,Return true.")) << "129 characters are too many";
    EXPECT_EQ(LastMessage(log), kPrefix + "!dwResult, return false.");
    EXPECT_STREQ(password, "");
}

TEST_F(UninstallPromptTest, AMissingBufferIsRefused) {
    EXPECT_EQ(IsUninstallPrompt("setup", nullptr), 0);
    EXPECT_EQ(Log(), std::vector<std::string>{kPrefix + "parameter err."});
}

} // namespace
