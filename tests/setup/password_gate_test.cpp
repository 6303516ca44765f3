// The uninstall-password gate end to end: the real Setup.exe, carrying the demo
// payload, in front of a client that a verified customisation file protects;
// this program answers its password dialog through the dialog's controls.
#include <gtest/gtest.h>

#include <algorithm>

#include "custom_fixture.h"
#include "dialog_driver.h"
#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";
const std::string kCarrier = "C:\\carrier\\Setup.exe";
const char kPassword[] = "Secret-42";

bool Has(const std::vector<std::string>& log, const std::string& entry) {
    return std::find(log.begin(), log.end(), entry) != log.end();
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class PasswordGateTest : public CustomTest {
protected:
    void SetUp() override {
        CustomTest::SetUp();
        PrepareSetupRun();
        // The protection: a verified custom XML asks for the password, and a
        // client is installed.
        WritePair(kRegInfo, "KivraCustom.xml",
                  CustomXml("<functions><uninstall>1</uninstall><uninstallPassword>" + Encipher(kPassword) +
                            "</uninstallPassword></functions>"),
                  "KivraCustomXml.vrf");
        SetRegString(kCurrentProductKey, "DisplayVersion", "5.2.1");
        std::string exe = ReadFileBytes(SetupExe());
        ASSERT_FALSE(exe.empty());
        ASSERT_TRUE(WriteFileBytes(
            kCarrier, BuildCarrier(exe, 490000, BuildPack(ReadFolder(BuildPath("demo-payload"))))));
    }

    // Runs the carrier, lets script answer its dialog, and returns the setup log.
    std::vector<std::string> Run(const std::function<void(Driver&)>& script) {
        HANDLE process = StartChild("\"" + kCarrier + "\"");
        EXPECT_TRUE(process);
        if (!process) return {};
        Driver driver(GetProcessId(process));
        if (driver.FindDialog(30000)) script(driver);
        EXPECT_EQ(WaitForSingleObject(process, 120000), WAIT_OBJECT_0);
        DWORD code = 99;
        if (!GetExitCodeProcess(process, &code) || code == STILL_ACTIVE) TerminateProcess(process, 99);
        CloseHandle(process);
        EXPECT_TRUE(driver.problems.empty()) << driver.problems[0];
        EXPECT_EQ(code, 0u);
        std::vector<std::string> log = TodayLogMessages("setup");
        EXPECT_FALSE(log.empty());
        if (!log.empty()) {
            EXPECT_EQ(log.back(), "Exit main");
        }
        return log;
    }

    void ExpectAcceptedAndInstalled(const std::vector<std::string>& log) {
        auto accepted = std::find(log.begin(), log.end(), "g_bExit = TRUE;");
        ASSERT_NE(accepted, log.end());
        ASSERT_NE(accepted + 1, log.end());
        EXPECT_EQ(accepted[1], "Begin UnpackAndSetup");
        for (const std::string& entry : log) EXPECT_EQ(entry.rfind("install failed", 0), std::string::npos) << entry;
        EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n");
    }
    void ExpectRefused(const std::vector<std::string>& log) {
        EXPECT_FALSE(Has(log, "g_bExit = TRUE;"));
        EXPECT_FALSE(Has(log, "Begin UnpackAndSetup"));
        EXPECT_FALSE(Exists(W)) << "nothing unpacked";
    }
};

TEST_F(PasswordGateTest, TheRightPasswordAtOnceLetsTheInstallerRun) {
    std::string title;
    RECT placed = {}, desktop = {};
    std::vector<std::string> log = Run([&](Driver& d) {
        title = WindowText(d.dialog);
        GetWindowRect(d.dialog, &placed);
        GetWindowRect(GetDesktopWindow(), &desktop);
        d.Type(kPassword);
        d.PressKey(VK_RETURN);
        d.WaitEnded();
    });
    EXPECT_EQ(title, Expected("Uninstall Password", "卸载密码"));
    int width = placed.right - placed.left, height = placed.bottom - placed.top;
    EXPECT_EQ(placed.left, (desktop.right - desktop.left - width) / 2);
    EXPECT_EQ(placed.top, (desktop.bottom - desktop.top - height) / 2);
    KeepLogs("password-accepted");
    ExpectAcceptedAndInstalled(log);
}

TEST_F(PasswordGateTest, TwoMissesThenTheRightPasswordIsAccepted) {
    std::string held, prompt, notice, edit;
    bool noticeVisible = false;
    std::vector<std::string> log = Run([&](Driver& d) {
        d.Type("0123456789012345678901234567890123456789");
        held = d.Text(IDC_PASSWORD_EDIT);
        d.ClickOk();
        d.Type("secret-42");
        d.ClickOk();
        prompt = WindowText(d.Prompt());
        notice = d.Text(IDC_RETRY_NOTICE);
        noticeVisible = IsWindowVisible(d.Item(IDC_RETRY_NOTICE));
        edit = d.Text(IDC_PASSWORD_EDIT);
        d.Type(kPassword);
        d.ClickOk();
        d.WaitEnded();
    });
    EXPECT_EQ(held, "01234567890123456789012345678901") << "the 33rd character is refused";
    EXPECT_EQ(prompt, "");
    EXPECT_TRUE(noticeVisible);
    EXPECT_EQ(notice, Expected("Wrong password. Please try again:", "密码错误，请重新输入："));
    EXPECT_EQ(edit, "");
    ExpectAcceptedAndInstalled(log);
}

TEST_F(PasswordGateTest, ThreeMissesEndTheSetupAfterTheFinalBox) {
    std::string caption, text;
    std::vector<std::string> log = Run([&](Driver& d) {
        d.Type("SECRET-42");
        d.ClickOk();
        d.Type("Secret-4");
        d.ClickOk();
        d.Type("Secret-422");
        d.PostClick(IDOK); // the final box holds the dialog until it is answered
        d.AnswerBox(&caption, &text);
        d.WaitEnded();
    });
    EXPECT_EQ(caption, Expected("Wrong Password", "密码错误"));
    EXPECT_EQ(text, Expected("You have input wrong passwords for the maximum number of times. The "
                             "installation wizard is about to abort...",
                             "超过最大密码错误重试次数，安装程序即将退出。"));
    KeepLogs("password-refused");
    ExpectRefused(log);
}

// While the dialog waits, the user who started the setup may rename the
// running Setup.exe in their Downloads folder and put another carrier in its
// place: the right password must not make the setup unpack that one.
TEST_F(PasswordGateTest, ACarrierSwappedInWhileThePasswordIsAskedIsNotUnpacked) {
    const std::string moved = "C:\\carrier\\moved.exe";
    DeleteFileA(moved.c_str());
    std::vector<std::string> log = Run([&](Driver& d) {
        ASSERT_TRUE(MoveFileA(kCarrier.c_str(), moved.c_str()));
        Payload planted = ReadFolder(BuildPath("demo-payload"));
        planted.push_back({"planted.txt", "run elevated"});
        ASSERT_TRUE(WriteFileBytes(kCarrier, BuildCarrier(ReadFileBytes(SetupExe()), 490000, BuildPack(planted))));
        d.Type(kPassword);
        d.PressKey(VK_RETURN);
        d.WaitEnded();
    });
    KeepLogs("carrier-replaced");
    EXPECT_TRUE(Has(log, "g_bExit = TRUE;"));
    EXPECT_TRUE(Has(log, kCarrier + " is no longer the program that is running; it is not used."));
    EXPECT_TRUE(Has(log, "install failed with Err 0."));
    EXPECT_FALSE(Exists(W + "\\planted.txt"));
    DeleteFileA(moved.c_str());
}

class PasswordGateEndTest : public PasswordGateTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(PasswordGateEndTest, EndsTheSetupLikeCancel) {
    std::string way = GetParam();
    std::vector<std::string> log = Run([&](Driver& d) {
        d.Type(kPassword); // typed but never confirmed
        if (way == "cancel") d.PostClick(IDCANCEL);
        if (way == "close box") PostMessageA(d.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (way == "escape") d.PressKey(VK_ESCAPE);
        d.WaitEnded();
    });
    KeepLogs("password-cancelled");
    ExpectRefused(log);
}
INSTANTIATE_TEST_SUITE_P(Ways, PasswordGateEndTest, ::testing::Values("cancel", "close box", "escape"));

} // namespace
