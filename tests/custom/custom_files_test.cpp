#include "custom/common_files.h"
#include "custom/custom_files.h"
#include "custom_fixture.h"
#include "platform/system_dir.h"
#include "support/winsupport.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

UINT WINAPI SystemOnDriveD(LPSTR buffer, UINT size) {
    const char path[] = "D:\\WINDOWS\\system32";
    if (size < sizeof path) return sizeof path;
    memcpy(buffer, path, sizeof path);
    return sizeof path - 1;
}

UINT WINAPI SystemTooLong(LPSTR, UINT size) { return size + 1; }

class CustomFilesTest : public CustomTest {};

TEST_F(CustomFilesTest, CommonProgramFilesComesFromTheSystemNeverTheEnvironment) {
    // The elevated setup inherits the starting user's environment.
    SetEnvironmentVariableA("CommonProgramFiles", "C:\\users\\Public\\planted");
    EXPECT_STREQ(utl_GetCommonProgramFiles(), "C:\\Program Files\\Common Files");

    DeleteRegValue(kCurrentVersionKey, "CommonFilesDir");
    g_getSystemDirectory = SystemOnDriveD;
    EXPECT_STREQ(utl_GetCommonProgramFiles(), "C:\\Program Files\\Common Files") << "served from the cache";
    ResetCommonProgramFilesCache();
    EXPECT_STREQ(utl_GetCommonProgramFiles(), "D:\\Program Files\\Common Files") << "no value: the system drive";

    // Values that are not a drive path that fits are not used.
    for (std::string bad : {"C:\\" + std::string(300, 'x'), std::string("%ProgramFiles%\\Common Files")}) {
        ResetCommonProgramFilesCache();
        SetRegString(kCurrentVersionKey, "CommonFilesDir", bad.c_str());
        EXPECT_STREQ(utl_GetCommonProgramFiles(), "D:\\Program Files\\Common Files") << bad;
    }

    // A system directory too long for its buffer gives no directory at all.
    ResetCommonProgramFilesCache();
    DeleteRegValue(kCurrentVersionKey, "CommonFilesDir");
    g_getSystemDirectory = SystemTooLong;
    EXPECT_EQ(utl_GetCommonProgramFiles(), nullptr);
    SetEnvironmentVariableA("CommonProgramFiles", nullptr);
}

TEST_F(CustomFilesTest, ARegInfoPathWithNoRoomForItsBackslashIsNotCreated) {
    // 260 characters: the path itself fits, the trailing backslash that
    // MakeSureDirectoryPathExists needs does not.
    std::string common = "C:\\" + std::string(231, 'x');
    SetRegString(kCurrentVersionKey, "CommonFilesDir", common.c_str());
    ResetCommonProgramFilesCache();
    ASSERT_EQ(260u, (common + "\\Kivra\\Nexa Client\\reginfo").size());
    EXPECT_EQ(utl_LoadCusXmlFile("setup"), 0);
    EXPECT_EQ(Log(), (std::vector<std::string>{
                         "utl_LoadCusXmlFile:Create directory \"reginfo\" failed with ErrNo: 206."}));
}

TEST_F(CustomFilesTest, LoadingMakesTheRegInfoDirectoryAndChecksThePair) {
    EXPECT_EQ(utl_LoadCusXmlFile("setup"), 0);
    EXPECT_TRUE(Exists(kRegInfo)) << "created with its parents";
    EXPECT_TRUE(Log().empty()) << "a failed check is the caller's to report";

    WritePair(kRegInfo, "KivraCustom.xml", CustomXml(""), "KivraCustomXml.vrf");
    EXPECT_NE(utl_LoadCusXmlFile("setup"), 0);
}

TEST_F(CustomFilesTest, ACustomIniPairOnlyInTheOldDirectoryIsMovedOver) {
    WritePair(kOldRegInfo, "KivraCustom.ini", "[Functions]\r\nUninstall=1\r\n", "KivraCustom.vrf");
    WritePair(kOldRegInfo, "KivraUninstallInfo.ini", "[Functions]\r\n", "KivraUninstallInfo.vrf");
    EXPECT_EQ(utl_LoadCusIniFile("setup"), 1);
    for (const char* name : {"KivraCustom.ini", "KivraCustom.vrf", "KivraUninstallInfo.ini", "KivraUninstallInfo.vrf"})
        EXPECT_TRUE(Exists(kRegInfo + "\\" + name)) << name;
    EXPECT_FALSE(Exists("C:\\Program Files\\Common Files\\Vendra-Trion"));
    EXPECT_EQ(Log(), (std::vector<std::string>{"utl_LoadCusIniFile:CusIniVerify new failed,try for old.",
                                               "utl_LoadCusIniFile:CusIniVerify old true,so copy files."}));
}

TEST_F(CustomFilesTest, AFailedCopyStopsTheMoveAndKeepsTheOldTree) {
    WritePair(kOldRegInfo, "KivraCustom.ini", "[Functions]\r\nUninstall=1\r\n", "KivraCustom.vrf");
    EXPECT_EQ(utl_LoadCusIniFile("setup"), 0);
    EXPECT_TRUE(Exists(kRegInfo + "\\KivraCustom.ini"));
    EXPECT_TRUE(Exists(kRegInfo + "\\KivraCustom.vrf"));
    EXPECT_FALSE(Exists(kRegInfo + "\\KivraUninstallInfo.ini"));
    EXPECT_TRUE(Exists(kOldRegInfo + "\\KivraCustom.ini"));
    EXPECT_EQ(LastMessage(Log()), "utl_LoadCusIniFile:CopyFile KivraUninstallInfo.ini return false!");

    // With a good pair in the reginfo directory there is nothing to move.
    ClearLogs();
    WritePair(kRegInfo, "KivraCustom.ini", "[Functions]\r\n", "KivraCustom.vrf");
    EXPECT_EQ(utl_LoadCusIniFile("setup"), 1);
    EXPECT_TRUE(Log().empty());
}

} // namespace
