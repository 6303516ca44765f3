// The verify operations on real files under Wine: sizes, tampering, the
// icon-bound block, the icon copied from the system directory, and pairs
// written by vrftool.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "integrity/vrf_file.h"
#include "integrity/vrf_verify.h"
#include "support/winsupport.h"

namespace {

const char kDir[] = "C:\\tmp\\vrf_verify_test";

std::string Block(const std::string& icon = "") {
    unsigned char block[kVrfBlockSize];
    VrfDefaultBlock(block);
    if (!icon.empty()) VrfIconBlock((const unsigned char*)icon.data(), icon.size(), block);
    return std::string((char*)block, sizeof block);
}

// A verification file over content, with R drawn from seed (0 to 254).
std::string Vrf(const std::string& content, const std::string& block, int seed = 1) {
    unsigned char r[kVrfRandomSize], image[kVrfFileSize];
    for (unsigned i = 0; i < kVrfRandomSize; ++i) r[i] = (unsigned char)((i * 31 + seed) % 255);
    EXPECT_EQ(1, VrfMakeImage((const unsigned char*)content.data(), content.size(), r,
                              (const unsigned char*)block.data(), image));
    return std::string((char*)image, sizeof image);
}

std::string At(const std::string& name) { return std::string(kDir) + "\\" + name; }

void Put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(At(name), bytes)) << name;
}

std::string Icon(size_t size) {
    std::string icon(size, '\0');
    for (size_t i = 0; i < size; ++i) icon[i] = (char)(i * 13 + 5);
    return icon;
}

class VrfVerify : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kDir);
        MakeDirs(kDir);
    }
    void TearDown() override { RemoveTree(kDir); }
};

TEST_F(VrfVerify, SizesOfBothFiles) {
    std::string ini = "[Functions]\r\nUninstall=1\r\nInstall=E8UngEd0aoI=\r\n";
    std::string vrf = Vrf(ini, Block());
    Put("KivraUninstallInfo.ini", ini);
    Put("KivraUninstallInfo.vrf", vrf);
    EXPECT_EQ(1, UninstallInfoVerify(kDir));
    Put("KivraUninstallInfo.vrf", vrf.substr(0, 255));
    EXPECT_EQ(0, UninstallInfoVerify(kDir)) << "255 bytes";
    Put("KivraUninstallInfo.vrf", vrf + '\0');
    EXPECT_EQ(0, UninstallInfoVerify(kDir)) << "257 bytes";

    std::string limit(kVrfMaxGuardedSize, 'x');
    Put("KivraUninstallInfo.xml", limit);
    Put("KivraUninstallInfoXml.vrf", Vrf(limit, Block()));
    EXPECT_EQ(1, UninstallInfoXmlVerify(kDir)) << "40588 bytes";
    Put("KivraUninstallInfo.xml", limit + 'x');
    EXPECT_EQ(0, UninstallInfoXmlVerify(kDir)) << "40589 bytes";

    Put("KivraCustom.xml", "");
    Put("KivraCustomXml.vrf", Vrf("", Block()));
    EXPECT_EQ(1, CusXmlVerify(kDir, 0, "")) << "an empty guarded file";

    DeleteFileA(At("KivraCustom.xml").c_str());
    EXPECT_EQ(0, CusXmlVerify(kDir, 0, ""));
    EXPECT_EQ(0, CusIniVerify(kDir, 0)) << "no pair at all";
}

TEST_F(VrfVerify, OneChangedByteFails) {
    std::string ini = "[Functions]\r\nUninstall=0\r\n";
    std::string vrf = Vrf(ini, Block());
    Put("KivraCustom.ini", ini);
    Put("KivraCustom.vrf", vrf);
    ASSERT_EQ(1, CusIniVerify(kDir, 0));
    EXPECT_EQ(0, UninstallInfoVerify(kDir)) << "each operation has its own pair";

    std::string changed = ini;
    changed[24] = '1';
    Put("KivraCustom.ini", changed);
    EXPECT_EQ(0, CusIniVerify(kDir, 0)) << "guarded file";
    Put("KivraCustom.ini", ini);
    for (size_t at : {0, 120, 239, 240, 255}) {
        std::string bad = vrf;
        bad[at] = (char)(bad[at] ^ 0x40);
        Put("KivraCustom.vrf", bad);
        EXPECT_EQ(0, CusIniVerify(kDir, 0)) << "byte " << at;
    }
    // A second file with other random bytes verifies as well.
    std::string other = Vrf(ini, Block(), 77);
    ASSERT_NE(vrf.substr(0, 240), other.substr(0, 240));
    Put("KivraCustom.vrf", other);
    EXPECT_EQ(1, CusIniVerify(kDir, 0));
}

TEST_F(VrfVerify, IniIconBinding) {
    std::string ini = "[LogoOptions]\r\nCustomIcon=1\r\nCusIconName=logo.ico\r\n";
    std::string icon = Icon(600);
    Put("KivraCustom.ini", ini);
    Put("logo.ico", icon);
    Put("KivraCustom.vrf", Vrf(ini, Block(icon)));
    EXPECT_EQ(1, CusIniVerify(kDir, 1));
    EXPECT_EQ(0, CusIniVerify(kDir, 0)) << "the flag off takes the default block";
    Put("KivraCustom.vrf", Vrf(ini, Block()));
    EXPECT_EQ(0, CusIniVerify(kDir, 1)) << "a default pair does not pass icon-bound";

    Put("logo.ico", icon.substr(0, 543));
    EXPECT_EQ(1, CusIniVerify(kDir, 1)) << "543 bytes leave the default block";

    std::string off = "[LogoOptions]\r\nCustomIcon=0\r\nCusIconName=logo.ico\r\n";
    Put("logo.ico", icon);
    Put("KivraCustom.ini", off);
    Put("KivraCustom.vrf", Vrf(off, Block()));
    EXPECT_EQ(1, CusIniVerify(kDir, 1)) << "CustomIcon=0 keeps the default block";
}

TEST_F(VrfVerify, XmlIconFromSystemDirectory) {
    char root[MAX_PATH], inherited[MAX_PATH];
    ASSERT_GT(GetSystemWindowsDirectoryA(root, sizeof root), 0u);
    ASSERT_GT(GetEnvironmentVariableA("SystemRoot", inherited, sizeof inherited), 0u);
    std::string systemIcon = std::string(root) + "\\system32\\vrf_test_logo.ico";
    std::string icon = Icon(544);
    ASSERT_TRUE(WriteFileBytes(systemIcon, icon));
    // The environment is the starting user's: a SystemRoot of theirs is no source.
    MakeDirs("C:\\vrf_decoy\\system32");
    ASSERT_TRUE(WriteFileBytes("C:\\vrf_decoy\\system32\\vrf_test_logo.ico", std::string(544, 0x7f)));
    SetEnvironmentVariableA("SystemRoot", "C:\\vrf_decoy");

    std::string xml = "<custom><logoOptions/></custom>";
    Put("KivraCustom.xml", xml);
    Put("KivraCustomXml.vrf", Vrf(xml, Block(icon)));
    EXPECT_EQ(0, CusXmlVerify(kDir, 0, "vrf_test_logo.ico"));
    EXPECT_FALSE(ReadFileBytes(At("vrf_test_logo.ico")).size()) << "no copy with the flag off";
    EXPECT_EQ(1, CusXmlVerify(kDir, 1, "vrf_test_logo.ico"));
    EXPECT_EQ(icon, ReadFileBytes(At("vrf_test_logo.ico"))) << "copied from the system directory";

    // A name with path parts is never copied nor read: the default block.
    Put("KivraCustomXml.vrf", Vrf(xml, Block()));
    EXPECT_EQ(1, CusXmlVerify(kDir, 1, "..\\vrf_verify_test\\vrf_test_logo.ico"));
    EXPECT_EQ(1, CusXmlVerify(kDir, 1, "missing.ico")) << "missing everywhere: default block";
    DeleteFileA(systemIcon.c_str());
    SetEnvironmentVariableA("SystemRoot", inherited);
    RemoveTree("C:\\vrf_decoy");
}

TEST_F(VrfVerify, PairsWrittenByTheTool) {
    std::string tool = BuildPath("tools/vrftool/vrftool.exe");
    std::string xml = "<custom><functions><uninstall>1</uninstall></functions></custom>";
    Put("KivraCustom.xml", xml);
    Put("logo.ico", Icon(700));
    Put("KivraUninstallInfo.ini", "[Functions]\r\nUninstall=1\r\n");
    ChildRun made = RunChild("\"" + tool + "\" make " + At("KivraCustom.xml") + " --icon " + At("logo.ico"));
    ASSERT_EQ(0, made.exitCode);
    ASSERT_EQ(0, RunChild("\"" + tool + "\" make " + At("KivraUninstallInfo.ini")).exitCode);
    EXPECT_EQ(1, CusXmlVerify(kDir, 1, "logo.ico"));
    EXPECT_EQ(0, CusXmlVerify(kDir, 0, ""));
    EXPECT_EQ(1, UninstallInfoVerify(kDir));
    EXPECT_EQ(0, RunChild("\"" + tool + "\" check " + At("KivraUninstallInfo.ini")).exitCode);
}

} // namespace
