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

// The settings of a verified file are read from its bytes in memory; the
// system's own profile functions, reading the same bytes from a file, are the
// measure of what those bytes say.
TEST(IniTest, BytesInMemoryReadAsTheProfileFunctionsReadTheFile) {
    const char* file = "C:\\tmp\\initest.ini";
    CreateDirectoryA("C:\\tmp", nullptr);
    const std::string utf16 = std::string("\xFF\xFE[\0F\0u\0n\0c\0t\0i\0o\0n\0s\0]\0\r\0\n\0I\0n\0s\0t\0a\0l\0l\0=\0w\0\r\0\n\0", 50);
    const std::string longValue = "[Functions]\r\nInstall=" + std::string(200, 'L') + "\r\n";
    const std::string texts[] = {
        "[Functions]\r\nUninstall=1\r\nInstall=abc\r\n",
        "  [Functions]  \r\n  Install  =  a b c  \r\n\tUninstall = 7abc\r\n",
        "[functions]\ninstall=\"quoted\"\nuninstall='5'\n",
        "[Functions]\r\nInstall=\"unbalanced\r\nUninstall=\"\r\n",
        "[Functions]\r\nOther=1\r\n[Functions]\r\nInstall=late\r\nUninstall=1\r\n",
        "[Functions]\r\nInstall=first\r\nInstall=second\r\nUninstall=0x1F\r\n",
        "[Functions]\r\nInstall\r\nUninstall=\r\n",
        "Install=orphan\r\n[Other]\r\nInstall=x\r\n[Functions] trailing\r\nUninstall=-1\r\n",
        "[Func]tions]\r\nInstall=x\r\n[Functions]\r\n;Install=comment\r\nUninstall=0b101\x1a",
        "[Functions]\r\nUninstall=+3\r\nInstall= '' \r\n",
        "\xEF\xBB\xBF[Functions]\r\nInstall=bom\r\nUninstall=0o17\r\n",
        utf16,
        longValue,
        "",
    };
    for (const std::string& text : texts) {
        ASSERT_TRUE(WriteFileBytes(file, text));
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, file); // forget any cached copy
        for (const char* key : {"Install", "Uninstall", "Missing"}) {
            char expected[128], got[128];
            DWORD n = GetPrivateProfileStringA("Functions", key, "", expected, sizeof expected, file);
            EXPECT_EQ(IniTextString(text.data(), text.size(), "Functions", key, got, sizeof got), n) << text << key;
            EXPECT_STREQ(got, expected) << text << key;
            EXPECT_EQ(IniTextInt(text.data(), text.size(), "Functions", key, 42),
                      GetPrivateProfileIntA("Functions", key, 42, file))
                << text << key;
        }
    }
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
