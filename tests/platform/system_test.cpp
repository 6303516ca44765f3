#include <gtest/gtest.h>

#include <string.h>

#include "platform/handle.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sysinfo.h"
#include "support/winsupport.h"

namespace {

const char kTestKey[] = "SOFTWARE\\KivraPlatformTest";

void SetString(const char* name, const std::string& value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(key);
}

void SetDword(const char* name, DWORD value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kTestKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
    RegCloseKey(key);
}

TEST(RegistryTest, StringsAreCopiedOnlyWhenTheyFitWithTheirTerminator) {
    SetString("Eight", "12345678");
    char buffer[9];
    memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kTestKey, "Eight", buffer, 9), 1);
    EXPECT_STREQ(buffer, "12345678");

    char small[8];
    memset(small, '#', sizeof small);
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kTestKey, "Eight", small, 8), 0);
    EXPECT_EQ(std::string(small, 8), "########") << "a value that does not fit leaves the buffer untouched";

    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kTestKey, "Missing", buffer, 9), 0);
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\NoSuchKivraKey", "Eight", buffer, 9), 0);

    SetString("Long", std::string(300, 'x'));
    char big[400];
    EXPECT_EQ(RegReadString(HKEY_LOCAL_MACHINE, kTestKey, "Long", big, sizeof big), 0)
        << "values beyond 260 bytes are not read";
}

TEST(RegistryTest, DwordsNeedAVariableAndAValue) {
    SetDword("Flag", 7);
    DWORD value = 99;
    EXPECT_EQ(RegReadDword(HKEY_LOCAL_MACHINE, kTestKey, "Flag", &value), 1);
    EXPECT_EQ(value, 7u);
    EXPECT_EQ(RegReadDword(HKEY_LOCAL_MACHINE, kTestKey, "Flag", nullptr), 0);
    value = 99;
    EXPECT_EQ(RegReadDword(HKEY_LOCAL_MACHINE, kTestKey, "Missing", &value), 0);
    EXPECT_EQ(value, 99u);
}

TEST(IniTest, ReadsIntoBuffersLargerThan128Bytes) {
    const char* file = "C:\\tmp\\initest.ini";
    CreateDirectoryA("C:\\tmp", nullptr);
    ASSERT_TRUE(WriteFileBytes(file, "[Functions]\r\nInstall=abc\r\nEmpty=\r\n"));
    char out[129];
    strcpy(out, "keep");
    EXPECT_EQ(IniReadString(file, "Functions", "Install", out, sizeof out), 3u);
    EXPECT_STREQ(out, "abc");
    strcpy(out, "keep");
    EXPECT_EQ(IniReadString(file, "Functions", "Empty", out, sizeof out), 0u);
    EXPECT_STREQ(out, "keep") << "an empty value is not copied";
    char small[128];
    EXPECT_EQ(IniReadString(file, "Functions", "Install", small, sizeof small), 0u);
    EXPECT_EQ(IniReadString(nullptr, "Functions", "Install", out, sizeof out), 0u);
    DeleteFileA(file);
}

TEST(SystemTest, SystemDriveFreeSpaceAndAdministratorRights) {
    char drive[261];
    ASSERT_EQ(GetSysDriveLetter("platformtest", drive, sizeof drive), 1);
    EXPECT_STREQ(drive, "C");

    ClearLogs();
    char small[259];
    EXPECT_EQ(GetSysDriveLetter("platformtest", small, sizeof small), 0);
    EXPECT_EQ(TodayLogMessages("stp_platformtest"), std::vector<std::string>{"the len in is too small"});

    EXPECT_GT(GetDiskFreeBytes("C:"), 0);
    EXPECT_EQ(GetDiskFreeBytes("Q:\\no\\such\\drive"), -1);
    EXPECT_EQ(IsCurUserAdmin(), 1) << "Wine runs every program as an administrator";
}

// A sleeper program copied under the name that the check looks for.
class ProcessTest : public ::testing::Test {
protected:
    HANDLE StartAs(const std::string& name) {
        CreateDirectoryA("C:\\tmp", nullptr);
        CreateDirectoryA("C:\\tmp\\proctest", nullptr);
        std::string path = "C:\\tmp\\proctest\\" + name;
        EXPECT_TRUE(CopyFileA(HelperExe("sleeper").c_str(), path.c_str(), FALSE));
        HANDLE process = StartChild("\"" + path + "\" 30000");
        Sleep(300);
        return process;
    }
};

TEST_F(ProcessTest, NamesMatchWholeAndInAnyLetterCase) {
    EXPECT_EQ(chkProcExist("waitSetup", "KivraSetup.exe"), kProcNotRunning);
    ScopedHandle process(StartAs("KivraSetup.exe"));
    ASSERT_TRUE(process.Valid());
    EXPECT_EQ(chkProcExist("waitSetup", "KivraSetup.exe"), kProcRunning);
    EXPECT_EQ(chkProcExist("waitSetup", "kivrasetup.EXE"), kProcRunning);
    EXPECT_EQ(chkProcExist("waitSetup", "KIVRASETUP.exe"), kProcRunning);
    EXPECT_EQ(chkProcExist("waitSetup", "KivraSetup.e"), kProcNotRunning);
    EXPECT_EQ(chkProcExist("waitSetup", "KivraSetup.exe2"), kProcNotRunning);
    EXPECT_EQ(chkProcExist("waitSetup", "ivraSetup.exe"), kProcNotRunning);
    TerminateProcess(process.Get(), 0);
    WaitForSingleObject(process.Get(), 5000);
    EXPECT_EQ(chkProcExist("waitSetup", "KivraSetup.exe"), kProcNotRunning);
}

} // namespace
