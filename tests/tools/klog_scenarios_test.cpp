// Runs of the real Setup.exe that the other end-to-end tests do not make,
// kept for klog's tests: what the setup never reports (an archiver that cannot
// run, a URL-command archive that does not extract, customisation files
// restored or refused), and a run killed while its installer runs.
#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

#include <algorithm>

#include "custom_fixture.h"
#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";
const std::string kCarrier = "C:\\carrier\\Setup.exe";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Whether a process of that executable name runs.
bool Running(const char* exe) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    bool found = false;
    for (BOOL more = Process32First(snap, &entry); more && !found; more = Process32Next(snap, &entry))
        found = lstrcmpiA(entry.szExeFile, exe) == 0;
    CloseHandle(snap);
    return found;
}

class KlogScenarioTest : public CustomTest {
protected:
    Payload payload;

    void SetUp() override {
        CustomTest::SetUp();
        PrepareSetupRun();
        payload = ReadFolder(BuildPath("demo-payload"));
        ASSERT_GE(payload.size(), 10u);
    }
    void Replace(const std::string& name, const std::string& bytes) {
        for (auto& file : payload)
            if (file.first == name) file.second = bytes;
    }
    void WriteCarrier() {
        ASSERT_TRUE(WriteFileBytes(kCarrier, BuildCarrier(ReadFileBytes(SetupExe()), 490000, BuildPack(payload))));
    }
    // Runs the carrier to its end; returns its setup log.
    std::vector<std::string> Run() {
        WriteCarrier();
        ChildRun run = RunChild("\"" + kCarrier + "\"", 120000);
        EXPECT_EQ(run.exitCode, 0);
        std::vector<std::string> log = TodayLogMessages("setup");
        EXPECT_FALSE(log.empty());
        if (!log.empty()) {
            EXPECT_EQ(log.back(), "Exit main");
        }
        return log;
    }
};

TEST_F(KlogScenarioTest, AnArchiverThatCannotRunLeavesOnlyTheRunnersErrors) {
    payload.erase(std::remove_if(payload.begin(), payload.end(),
                                 [](const Payload::value_type& f) { return f.first == "7za.exe"; }),
                  payload.end());
    Run();
    KeepLogs("archiver-missing");
    EXPECT_FALSE(Exists(W + "\\tool\\readme.txt"));
    EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n") << "the setup goes on";
}

TEST_F(KlogScenarioTest, ADamagedUrlCommandArchiveIsOnlyLogged) {
    Replace("UrlCmdCustomCfg.7z", "not an archive");
    Run();
    KeepLogs("managecfg-fail");
    EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n");
}

TEST_F(KlogScenarioTest, CustomisationFilesRestoredAndRefused) {
    // The custom XML fails in the reginfo directory and in its backup; the
    // uninstall-info XML fails there and its backup restores it.
    const std::string custom = CustomXml("<functions><uninstall>0</uninstall></functions>");
    WritePair(kRegInfo, "KivraCustom.xml", custom, "KivraCustomXml.vrf");
    WriteFileBytes(kRegInfo + "\\KivraCustom.xml", custom + " ");
    WritePair(kBackup, "KivraCustom.xml", custom, "KivraCustomXml.vrf");
    WriteFileBytes(kBackup + "\\KivraCustom.xml", custom + " ");
    const std::string info = CustomXml("<uninstallInfo><uninstall>0</uninstall></uninstallInfo>");
    WritePair(kRegInfo, "KivraUninstallInfo.xml", info + " ", "");
    WritePair(kBackup, "KivraUninstallInfo.xml", info, "KivraUninstallInfoXml.vrf");
    Run();
    KeepLogs("custom-files");
    EXPECT_EQ(ReadFileBytes(kRegInfo + "\\KivraUninstallInfo.xml"), info) << "restored from the backup";
}

TEST_F(KlogScenarioTest, ARunKilledWhileItsInstallerRunsHasNoExitMain) {
    SetStandInShownMs(3000);
    WriteCarrier();
    HANDLE setup = StartChild("\"" + kCarrier + "\"");
    ASSERT_TRUE(setup);
    for (int i = 0; i < 600 && !Exists(W + "\\KivraSetup-record.txt"); ++i) Sleep(100);
    Sleep(1000);  // past its "is-stp started at" line
    TerminateProcess(setup, 1);
    WaitForSingleObject(setup, 10000);
    CloseHandle(setup);
    for (int i = 0; i < 100 && Running("KivraSetup.exe"); ++i) Sleep(100);
    KeepLogs("killed");
    std::vector<std::string> log = TodayLogMessages("setup");
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().rfind("is-stp started at ", 0), 0u) << log.back();
}

} // namespace
