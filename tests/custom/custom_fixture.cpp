#include "custom_fixture.h"

#include <stdlib.h>

#include "custom/common_files.h"
#include "integrity/cipher.h"
#include "integrity/vrf_file.h"
#include "platform/system_dir.h"
#include "support/winsupport.h"

const std::string kRegInfo = "C:\\Program Files\\Common Files\\Kivra\\Nexa Client\\reginfo";
const std::string kOldRegInfo = "C:\\Program Files\\Common Files\\Vendra-Trion\\Nexa Client\\reginfo";
const std::string kBackup = "C:\\windows\\system32";
const char kCurrentProductKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{5A1E7C03-2B64-4F19-8D2E-71C0B93A6E42}";
const char kCurrentVersionKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
const char kOlderProductKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{9D4B2F61-7E38-4C05-B1A7-3F82E6D05C19}";

std::string MakeVrf(const std::string& data, const std::string& icon) {
    unsigned char random[kVrfRandomSize];
    for (unsigned char& b : random) b = (unsigned char)(rand() % 255);
    unsigned char block[kVrfBlockSize];
    VrfDefaultBlock(block);
    if (!icon.empty()) VrfIconBlock((const unsigned char*)icon.data(), icon.size(), block);
    unsigned char image[kVrfFileSize];
    EXPECT_EQ(VrfMakeImage((const unsigned char*)data.data(), data.size(), random, block, image), 1);
    return std::string((const char*)image, sizeof image);
}

std::string MakeIcon(size_t size) {
    std::string icon(size, '\0');
    for (size_t i = 0; i < size; ++i) icon[i] = (char)(i * 7 + 3);
    return icon;
}

void WritePair(const std::string& dir, const std::string& name, const std::string& data,
               const std::string& vrfName, const std::string& icon) {
    MakeDirs(dir);
    ASSERT_TRUE(WriteFileBytes(dir + "\\" + name, data));
    if (!vrfName.empty()) {
        ASSERT_TRUE(WriteFileBytes(dir + "\\" + vrfName, MakeVrf(data, icon)));
    }
}

std::string CustomXml(const std::string& sections) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><msg><content>" + sections + "</content></msg>";
}

std::string Encipher(const std::string& clear) {
    char out[200] = {0};
    EXPECT_EQ(utl_EncryptStr(out, sizeof out, clear.data(), (unsigned)clear.size()), 0);
    return out;
}

namespace {
const char* const kFiles[] = {"KivraCustom.xml", "KivraCustomXml.vrf", "KivraUninstallInfo.xml",
                              "KivraUninstallInfoXml.vrf", "KivraCustom.ini", "KivraCustom.vrf",
                              "KivraUninstallInfo.ini", "KivraUninstallInfo.vrf", "cus.ico"};

void DeleteKey(const char* key) { RegDeleteKeyA(HKEY_LOCAL_MACHINE, key); }

// The common program files directory as the prefix made it, known without
// reading the value that a crashed test program may have left changed: in a
// 64-bit prefix an i686 build reads the 32-bit view, "Program Files (x86)".
std::string PrefixCommonFiles() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    return wow64 ? "C:\\Program Files (x86)\\Common Files" : "C:\\Program Files\\Common Files";
}

// No installed client: no customisation files, backups or registry values.
void RemoveInstalledClient() {
    RemoveTree("C:\\Program Files\\Common Files\\Kivra");
    RemoveTree("C:\\Program Files\\Common Files\\Vendra-Trion");
    for (const char* name : kFiles) DeleteFileA((kBackup + "\\" + name).c_str());
    DeleteRegValue("SOFTWARE\\Kivra", "Uninstall");
    DeleteRegValue("SOFTWARE\\Kivra", "UninstallPwd");
    DeleteRegValue("SOFTWARE\\Orm\\Kivra", "Uninstall");
    DeleteRegValue("SOFTWARE\\Orm\\Kivra", "UninstallPwd");
    DeleteKey(kCurrentProductKey);
    DeleteKey(kOlderProductKey);
}

} // namespace

void CustomTest::SetUp() {
    ClearLogs();
    RemoveInstalledClient();
    SetRegString(kCurrentVersionKey, "CommonFilesDir", "C:\\Program Files\\Common Files");
    ResetCommonProgramFilesCache();
    srand(7);
}

// Later Setup.exe runs of this prefix, in other test programs, must find no
// protected client.
void CustomTest::TearDown() {
    RemoveInstalledClient();
    g_getSystemDirectory = GetSystemDirectoryA;
    SetRegString(kCurrentVersionKey, "CommonFilesDir", PrefixCommonFiles().c_str());
    ResetCommonProgramFilesCache();
}

std::vector<std::string> CustomTest::Log() { return TodayLogMessages("stp_setup"); }
