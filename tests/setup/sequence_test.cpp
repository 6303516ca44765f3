// The unpack-and-setup sequence end to end: real carriers made from the demo
// payload, run as Setup.exe under Wine, judged by the setup log, the laid-out
// work directory and what the stand-ins recorded.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/session_record.h"
#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";
const char kProductKey[] = "SOFTWARE\\Kivra";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Has(const std::vector<std::string>& log, const std::string& entry) {
    return std::find(log.begin(), log.end(), entry) != log.end();
}

size_t CountOf(const std::vector<std::string>& log, const std::string& entry) {
    return (size_t)std::count(log.begin(), log.end(), entry);
}

bool AnyStartsWith(const std::vector<std::string>& log, const std::string& start) {
    for (const std::string& entry : log)
        if (entry.rfind(start, 0) == 0) return true;
    return false;
}

void Remove(Payload& payload, const std::string& name) {
    payload.erase(std::remove_if(payload.begin(), payload.end(),
                                 [&](const Payload::value_type& f) { return f.first == name; }),
                  payload.end());
}

// Makes a folder the current directory of this process for one scope.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const std::string& dir) {
        GetCurrentDirectoryA(MAX_PATH, old_);
        SetCurrentDirectoryA(dir.c_str());
    }
    ~CurrentDirectory() { SetCurrentDirectoryA(old_); }

private:
    char old_[MAX_PATH] = "";
};

class SequenceTest : public ::testing::Test {
protected:
    Payload payload;
    std::string exe;

    void SetUp() override {
        ClearLogs();
        PrepareSetupRun();
        payload = ReadFolder(BuildPath("demo-payload"));
        ASSERT_GE(payload.size(), 10u);
        exe = ReadFileBytes(SetupExe());
        ASSERT_FALSE(exe.empty());
    }
    void TearDown() override { DeleteRegValue(kProductKey, "InstallByMsi"); }

    // Writes C:\carrier\<name> and runs it; returns its setup log.
    std::vector<std::string> Run(const std::string& carrier, const std::string& name = "Setup.exe") {
        std::string path = "C:\\carrier\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, carrier));
        ChildRun run = RunChild("\"" + path + "\"", 120000);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.boxes.empty());
        std::vector<std::string> log = TodayLogMessages("setup");
        EXPECT_FALSE(log.empty());
        if (!log.empty()) {
            EXPECT_EQ(log.back(), "Exit main");
        }
        return log;
    }
    std::vector<std::string> RunPayload() { return Run(BuildCarrier(exe, 490000, BuildPack(payload))); }
};

TEST_F(SequenceTest, AnUnprotectedClientInstallsEndToEnd) {
    std::vector<std::string> log = RunPayload();
    KeepLogs("installed");

    EXPECT_TRUE(Has(log, W + "\\Qt.7z"));
    EXPECT_TRUE(Has(log, W + "\\7za.exe x \"" + W + "\\Qt.7z\" -o\"" + W + "\" -y"));
    EXPECT_TRUE(Has(log, W + "\\7za.exe x \"" + W + "\\tool.7z\" -o\"" + W + "\" -y"));
    EXPECT_TRUE(Has(log, W + "\\7za.exe x \"" + W + "\\UrlCmdCustomCfg.7z\" -o\"" + W + "\" -y"));
    size_t okOutputs = 0;
    for (const std::string& entry : log)
        if (entry.find("Everything is Ok") != std::string::npos) ++okOutputs;
    EXPECT_EQ(okOutputs, 3u) << "the archiver's whole output is one entry per archive";
    EXPECT_TRUE(AnyStartsWith(log, "is-stp started at "));
    EXPECT_TRUE(AnyStartsWith(log, "is-stp ended at "));
    EXPECT_FALSE(AnyStartsWith(log, "install failed"));

    // What the archives held, and the data folder.
    EXPECT_EQ(ReadFileBytes(W + "\\Qt\\qt.conf"), "[Paths]\r\nPlugins=plugins\r\n");
    EXPECT_TRUE(Exists(W + "\\Qt\\plugins\\readme.txt"));
    EXPECT_TRUE(Exists(W + "\\tool\\readme.txt"));
    EXPECT_TRUE(Exists(W + "\\UrlCmdCustomCfg\\urlcmd.xml"));
    EXPECT_EQ(ReadFileBytes(W + "\\Data\\locations.xml"), ReadFileBytes(W + "\\locations.xml"));
    EXPECT_EQ(ReadFileBytes(W + "\\Data\\conn_cfg.ini"), ReadFileBytes(W + "\\conn_cfg.ini"));
    EXPECT_EQ(ReadFileBytes(W + "\\data\\campus\\portalcfg.xml"), ReadFileBytes(W + "\\campus-portalcfg.xml"));
    EXPECT_EQ(ReadFileBytes(W + "\\data\\campus\\wifi-8021xcfg.xml"),
              ReadFileBytes(W + "\\campus-wifi-8021xcfg.xml"))
        << "the name is split at its first '-'";
    EXPECT_TRUE(Exists(W + "\\data\\guest\\portalcfg.xml"));
    EXPECT_TRUE(Exists(W + "\\^Kivra_end^"));

    // The stand-ins' records: the admission program twice, then the installer.
    EXPECT_EQ(ReadFileBytes(W + "\\kopApxSvr-record.txt"), "-setUpdInfo\r\n-exitkopclient\r\n");
    EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n");
}

TEST_F(SequenceTest, ThePayloadsProgramsGetTheWorkDirectoryAndNothingOfTheSession) {
    // Started from the user's Downloads folder, as Explorer starts it, by a
    // session that set what takes over an elevated child.
    char profile[MAX_PATH], path[32768];
    ASSERT_TRUE(GetEnvironmentVariableA("USERPROFILE", profile, MAX_PATH));
    const char kMachine[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    DWORD size = sizeof path;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, kMachine, "PATH", RRF_RT_ANY, nullptr, path, &size), 0);
    const std::string downloads = std::string(profile) + "\\Downloads";
    MakeDirs(downloads);
    std::vector<std::pair<std::string, std::string>> planted;
    {
        HostileSession session(downloads);
        planted = session.planted;
        CurrentDirectory inDownloads(downloads);
        EXPECT_FALSE(AnyStartsWith(RunPayload(), "install failed"));
    }
    std::vector<SessionSeen> starts = ReadSessions(W + "\\kopApxSvr-session.txt");
    ASSERT_EQ(starts.size(), 2u) << "the admission program, twice";
    for (const SessionSeen& start : ReadSessions(W + "\\KivraSetup-session.txt")) starts.push_back(start);
    ASSERT_EQ(starts.size(), 3u) << "and the installer";
    const std::string system = " SYSTEMROOT SYSTEMDRIVE COMPUTERNAME PROGRAMFILES COMMONPROGRAMFILES PROGRAMFILES(X86)"
        " COMMONPROGRAMFILES(X86) PROGRAMW6432 COMMONPROGRAMW6432 PROGRAMDATA ALLUSERSPROFILE PUBLIC USERPROFILE APPDATA"
        " LOCALAPPDATA TEMP TMP HOMEDRIVE HOMEPATH USERNAME USERDOMAIN WINDIR COMSPEC PATHEXT PATH PROCESSOR_ARCHITEW6432 ";
    for (const SessionSeen& start : starts) {
        EXPECT_EQ(start.directory, W);
        EXPECT_EQ(VariableSeen(start, "PATH"), path) << "the machine's, as the system expands it";
        EXPECT_EQ(VariableSeen(start, "USERPROFILE"), profile);
        for (const auto& p : planted) EXPECT_NE(VariableSeen(start, p.first), p.second) << p.first;
        // Nothing but the system's names, the machine key's and those Wine
        // sets in every process (SystemRoot, SystemDrive, WINE...).
        for (const auto& v : start.variables)
            EXPECT_TRUE(system.find(" " + v.first + " ") != std::string::npos || v.first.rfind("WINE", 0) == 0 ||
                        RegGetValueA(HKEY_LOCAL_MACHINE, kMachine, v.first.c_str(), RRF_RT_ANY, nullptr, nullptr,
                                     nullptr) == 0)
                << v.first;
    }
}

TEST_F(SequenceTest, ACorruptQtArchiveStillLetsTheInstallationThrough) {
    for (auto& file : payload)
        if (file.first == "Qt.7z") file.second = "this is not an archive";
    std::vector<std::string> log = RunPayload();
    KeepLogs("qt-archive-corrupt");
    EXPECT_FALSE(AnyStartsWith(log, "install failed")) << "the 112 is recorded, never logged";
    EXPECT_TRUE(Exists(W + "\\tool\\readme.txt"));
    EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n");
}

TEST_F(SequenceTest, MissingProgramsFailWithTheirCodes) {
    Remove(payload, "kopApxSvr.exe");
    std::vector<std::string> log = RunPayload();
    EXPECT_TRUE(Has(log, "install failed with Err 355."));
    KeepLogs("failed-355");
    EXPECT_FALSE(Exists(W + "\\KivraSetup-record.txt"));

    ClearLogs();
    payload = ReadFolder(BuildPath("demo-payload"));
    Remove(payload, "KivraSetup.exe");
    log = RunPayload();
    EXPECT_TRUE(Has(log, "install failed with Err 357."));
    KeepLogs("failed-357");
    EXPECT_EQ(ReadFileBytes(W + "\\kopApxSvr-record.txt"), "-setUpdInfo\r\n-exitkopclient\r\n");
}

TEST_F(SequenceTest, AnInstallerThatNeverShowsUpIsAwaitedThirtySeconds) {
    for (auto& file : payload)
        if (file.first == "KivraSetup.exe") file.second = "not a program"; // the shell cannot start it
    DWORD start = GetTickCount();
    std::vector<std::string> log = RunPayload();
    EXPECT_GE(GetTickCount() - start, 30000u);
    KeepLogs("installer-not-seen");
    EXPECT_TRUE(Has(log, "is-stp started at 600"));
    EXPECT_TRUE(Has(log, "is-stp ended at 0."));
    EXPECT_FALSE(AnyStartsWith(log, "install failed")) << "not seeing the installer is no error";
}

TEST_F(SequenceTest, BadCarriersFailWithTheirCodes) {
    std::vector<std::string> log = Run(BuildCarrier(exe, 490000, ""));
    EXPECT_TRUE(Has(log, "install failed with Err 352.")) << "no pack after the offset";
    KeepLogs("failed-352");

    ClearLogs();
    std::string damaged = BuildPack(payload);
    damaged[3] ^= 0x55; // inside the marker
    log = Run(BuildCarrier(exe, 490000, damaged));
    EXPECT_TRUE(Has(log, "install failed with Err 160."));
    KeepLogs("failed-160");
}

TEST_F(SequenceTest, AnOldUrlCommandTreeIsReplacedOrRemoved) {
    MakeDirs(W + "\\UrlCmdCustomCfg\\old");
    WriteFileBytes(W + "\\UrlCmdCustomCfg\\old\\stale.xml", "stale");
    WriteFileBytes(W + "\\UrlCmdCustomCfg\\stale.xml", "stale");
    RunPayload();
    EXPECT_FALSE(Exists(W + "\\UrlCmdCustomCfg\\old"));
    EXPECT_FALSE(Exists(W + "\\UrlCmdCustomCfg\\stale.xml"));
    EXPECT_TRUE(Exists(W + "\\UrlCmdCustomCfg\\urlcmd.xml"));

    ClearLogs();
    Remove(payload, "UrlCmdCustomCfg.7z");
    std::vector<std::string> log = RunPayload();
    EXPECT_FALSE(Exists(W + "\\UrlCmdCustomCfg"));
    EXPECT_FALSE(AnyStartsWith(log, "install failed"));
}

TEST_F(SequenceTest, MsiModeTakesThePackageCopyBesideTheExecutableWhateverItsName) {
    MakeDirs("C:\\pkgsource");
    std::string package = BuildCarrier("MSI package bytes", 3300000, BuildPack(payload));
    ASSERT_TRUE(WriteFileBytes("C:\\pkgsource\\KivraSetup.msi", package));
    SetRegDword(kProductKey, "InstallByMsi", 1);
    SetRegString(kProductKey, "MsiSourceName", "C:\\pkgsource\\KivraSetup.msi");

    // The executable itself carries no pack here: everything comes from the copy.
    std::vector<std::string> log = Run(exe, "Setup (1).exe");
    KeepLogs("msi-installed");
    EXPECT_TRUE(Has(log, "msi install."));
    EXPECT_FALSE(Has(log, "can't get source path."));
    EXPECT_EQ(ReadFileBytes("C:\\carrier\\KivraSetup.msi"), package);
    EXPECT_FALSE(AnyStartsWith(log, "install failed"));
    EXPECT_EQ(ReadFileBytes(W + "\\KivraSetup-record.txt"), "KivraSetup.exe ran\r\n");

    // A later run uses a copy it finds only when no user could have made or
    // changed it. In a user's folder, where Wine puts every file, a planted
    // copy is simply theirs: it is replaced from the source, never unpacked.
    ClearLogs();
    RemoveTree(W);
    Payload planted = payload;
    planted.push_back({"planted.txt", "run elevated"});
    ASSERT_TRUE(WriteFileBytes("C:\\carrier\\KivraSetup.msi",
                               BuildCarrier("MSI package bytes", 3300000, BuildPack(planted))));
    log = Run(exe, "Setup (1).exe");
    KeepLogs("msi-copy-replaced");
    EXPECT_TRUE(Has(log, "C:\\carrier\\KivraSetup.msi was not made by this setup; it is not used."));
    EXPECT_FALSE(Has(log, "InstallScript has copy msi file."));
    EXPECT_FALSE(Exists(W + "\\planted.txt"));
    EXPECT_EQ(ReadFileBytes("C:\\carrier\\KivraSetup.msi"), package);
    EXPECT_FALSE(AnyStartsWith(log, "install failed"));
    DeleteFileA("C:\\pkgsource\\KivraSetup.msi");
}

TEST_F(SequenceTest, MsiModeWithoutASourceRetriesTenTimesThenGivesUp) {
    SetRegDword(kProductKey, "InstallByMsi", 1);
    DWORD start = GetTickCount();
    std::vector<std::string> log = Run(BuildCarrier(exe, 490000, BuildPack(payload)));
    EXPECT_GE(GetTickCount() - start, 9000u);
    KeepLogs("msi-no-source");
    EXPECT_EQ(CountOf(log, "can't get source path."), 10u);
    EXPECT_TRUE(Has(log, "Network problem, cannot access source file."));
    EXPECT_TRUE(Has(log, "install failed with Err 0."));
    EXPECT_FALSE(Exists(W));
}

TEST_F(SequenceTest, ASecondSetupWhileTheInstallerRunsIsRefused) {
    SetStandInShownMs(6000);
    ASSERT_TRUE(WriteFileBytes("C:\\carrier\\Setup.exe", BuildCarrier(exe, 490000, BuildPack(payload))));
    HANDLE first = StartChild("C:\\carrier\\Setup.exe");
    ASSERT_TRUE(first);
    for (int i = 0; i < 300 && !Exists(W + "\\KivraSetup-record.txt"); ++i) Sleep(100);
    ASSERT_TRUE(Exists(W + "\\KivraSetup-record.txt"));

    ChildRun second = RunChild("C:\\carrier\\Setup.exe");
    EXPECT_EQ(second.exitCode, 0);
    ASSERT_EQ(second.boxes.size(), 1u);
    EXPECT_EQ(second.boxes[0].text, "A previous instance is still running. \nPlease try it later.");

    EXPECT_EQ(WaitForSingleObject(first, 60000), WAIT_OBJECT_0);
    CloseHandle(first);
    std::vector<std::string> log = TodayLogMessages("setup");
    KeepLogs("second-instance");
    EXPECT_TRUE(AnyStartsWith(log, "is-stp ended at "));
    EXPECT_FALSE(AnyStartsWith(log, "install failed"));
}

} // namespace
