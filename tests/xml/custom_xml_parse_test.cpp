#include <gtest/gtest.h>

#include <string>

#include "integrity/cipher.h"
#include "xml/custom_xml_parse.h"
#include "xml_test_files.h"

namespace {

std::string Encipher(const std::string& plain) {
    char out[256] = {};
    EXPECT_EQ(0, utl_EncryptStr(out, sizeof out, plain.data(), (unsigned)plain.size()));
    return out;
}

class CustomXmlParseTest : public XmlFilesTest {
protected:
    CustomXmlParseTest() {
        CustomFunctionsDefaults(&functions_);
        CustomLogoOptionsDefaults(&logo_);
        CustomUninstallInfoDefaults(&uninstall_);
    }
    CustomFunctions functions_;
    CustomLogoOptions logo_;
    CustomUninstallInfo uninstall_;
};

TEST_F(CustomXmlParseTest, FullFunctionsSectionFillsEveryField) {
    std::string names[] = {"renameConn", "arp", "dhcp", "wanControl", "acl", "uninstall",
                           "passwordProtection", "remindPopSecUI", "AutoHideSecUI", "blackBox",
                           "userFromCert", "disableExit", "patchARV", "autoReboot", "url",
                           "disablePap", "ssid", "forbidMdyIp", "drvErr", "dynamicPwdVerify",
                           "userNameLenFromCert", "dynamicVifInfo", "macsec", "msgAuthOpt",
                           "iESiOSDK", "msgAuthInfo", "msgAuthServPort"};
    std::string body;
    unsigned value = 10;
    for (const std::string& n : names) body += "<" + n + ">" + std::to_string(value++) + "</" + n + ">";
    body += "<userFromExtendPro>CN</userFromExtendPro><msgAuthServIP>10.1.2.3</msgAuthServIP>";
    body += "<uninstallPassword>" + Encipher("s3cret") + "</uninstallPassword>";
    std::string path = Write("KivraCustom.xml", SettingsDoc("<functions>" + body + "</functions>"));

    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetFunctions(path.c_str(), &functions_));
    const CustomFunctions& f = functions_;
    uint32_t got[] = {f.renameConn, f.arp, f.dhcp, f.wanControl, f.acl, f.uninstall,
                      f.passwordProtection, f.remindPopSecUI, f.AutoHideSecUI, f.blackBox,
                      f.userFromCert, f.disableExit, f.patchARV, f.autoReboot, f.url,
                      f.disablePap, f.ssid, f.forbidMdyIp, f.drvErr, f.dynamicPwdVerify,
                      f.userNameLenFromCert, f.dynamicVifInfo, f.macsec, f.msgAuthOpt,
                      f.iESiOSDK, f.msgAuthInfo, f.msgAuthServPort};
    for (unsigned i = 0; i < sizeof got / sizeof got[0]; ++i) EXPECT_EQ(10 + i, got[i]) << names[i];
    EXPECT_STREQ("CN", f.userFromExtendPro);
    EXPECT_STREQ("10.1.2.3", f.msgAuthServIP);
    EXPECT_STREQ("s3cret", f.uninstallPassword);
}

TEST_F(CustomXmlParseTest, MissingSectionLeavesTheCallersDefaults) {
    std::string path = Write("a.xml", SettingsDoc("<other><uninstall>1</uninstall></other>"));
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetFunctions(path.c_str(), &functions_));
    CustomFunctions defaults;
    CustomFunctionsDefaults(&defaults);
    EXPECT_EQ(0, memcmp(&defaults, &functions_, sizeof defaults));
    EXPECT_EQ(1u, functions_.dynamicVifInfo);
    EXPECT_EQ(1u, functions_.msgAuthInfo);
    ASSERT_EQ(1, reader.GetLogoOptions(path.c_str(), &logo_));
    EXPECT_STREQ("", logo_.CusIconName);
}

TEST_F(CustomXmlParseTest, PresentSectionOverwritesFieldsItLacks) {
    std::string path = Write("a.xml", SettingsDoc("<functions><uninstall>1</uninstall></functions>"
                                                  "<logoOptions></logoOptions>"));
    strcpy(logo_.CusIconName, "kept?");
    logo_.bHideIcon = 5;
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetFunctions(path.c_str(), &functions_));
    EXPECT_EQ(1u, functions_.uninstall);
    EXPECT_EQ(0u, functions_.dynamicVifInfo);
    EXPECT_STREQ("", functions_.uninstallPassword);
    ASSERT_EQ(1, reader.GetLogoOptions(path.c_str(), &logo_));
    EXPECT_STREQ("", logo_.CusIconName);
    EXPECT_EQ(0, logo_.bHideIcon);
}

TEST_F(CustomXmlParseTest, MessageAuthenticationFieldsReadOnlyWhenEnabled) {
    const std::string auth = "<msgAuthInfo>0</msgAuthInfo><msgAuthServIP>1.2.3.4</msgAuthServIP>"
                             "<msgAuthServPort>99</msgAuthServPort>";
    std::string off = Write("off.xml", SettingsDoc("<functions><msgAuthOpt>0</msgAuthOpt>" + auth +
                                                   "</functions>"));
    strcpy(functions_.msgAuthServIP, "caller's");
    functions_.msgAuthServPort = 7;
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetFunctions(off.c_str(), &functions_));
    EXPECT_EQ(1u, functions_.msgAuthInfo);
    EXPECT_STREQ("caller's", functions_.msgAuthServIP);
    EXPECT_EQ(7u, functions_.msgAuthServPort);

    std::string on = Write("on.xml", SettingsDoc("<functions><msgAuthOpt>2</msgAuthOpt>" + auth +
                                                 "</functions>"));
    CCustomXmlParse other;
    ASSERT_EQ(1, other.GetFunctions(on.c_str(), &functions_));
    EXPECT_EQ(0u, functions_.msgAuthInfo);
    EXPECT_STREQ("1.2.3.4", functions_.msgAuthServIP);
    EXPECT_EQ(99u, functions_.msgAuthServPort);
}

TEST_F(CustomXmlParseTest, TextsAreCutAtTheirByteLimits) {
    const std::string icon(300, 'i'), extend(40, 'e'), title(261, 't'), pass(130, 'p');
    const std::string about(5000, 'a');
    std::string path = Write("a.xml", SettingsDoc(
        "<functions><userFromExtendPro>" + extend + "</userFromExtendPro>"
        "<msgAuthOpt>1</msgAuthOpt><msgAuthServIP>" + about + "</msgAuthServIP></functions>"
        "<logoOptions><CusIconName>" + icon + "</CusIconName><LogIconName>" + icon +
        "</LogIconName><subTitle>" + title + "</subTitle><subAboutInfo>" + about +
        "</subAboutInfo><subRightInfo>" + about + "</subRightInfo></logoOptions>"
        "<uninstallInfo><uninstallPass>" + pass + "</uninstallPass></uninstallInfo>"));
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetFunctions(path.c_str(), &functions_));
    ASSERT_EQ(1, reader.GetLogoOptions(path.c_str(), &logo_));
    ASSERT_EQ(1, reader.GetUninstallInfo(path.c_str(), &uninstall_));
    EXPECT_EQ(extend.substr(0, 32), functions_.userFromExtendPro);
    EXPECT_EQ(icon.substr(0, 260), logo_.CusIconName);
    EXPECT_EQ(icon.substr(0, 260), logo_.LogIconName);
    EXPECT_EQ(title.substr(0, 260), logo_.subTitle);
    EXPECT_EQ(pass.substr(0, 128), uninstall_.uninstallPass);
    // The unlimited texts end where their fields end.
    EXPECT_EQ(about.substr(0, sizeof logo_.subAboutInfo - 1), logo_.subAboutInfo);
    EXPECT_EQ(about.substr(0, sizeof logo_.subRightInfo - 1), logo_.subRightInfo);
    EXPECT_EQ(about.substr(0, sizeof functions_.msgAuthServIP - 1), functions_.msgAuthServIP);
}

TEST_F(CustomXmlParseTest, StoredPasswords) {
    // A cipher text that is not Base64: no password, yet the read succeeds.
    std::string bad = Write("bad.xml", SettingsDoc(
        "<functions><uninstall>1</uninstall><uninstallPassword>not*base64!</uninstallPassword>"
        "</functions><uninstallInfo><uninstall>1</uninstall>"
        "<uninstallPass>AbC+/=</uninstallPass></uninstallInfo>"));
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetFunctions(bad.c_str(), &functions_));
    EXPECT_STREQ("", functions_.uninstallPassword);
    EXPECT_EQ(1u, functions_.uninstall);
    // The uninstall-info password stays in its stored form.
    ASSERT_EQ(1, reader.GetUninstallInfo(bad.c_str(), &uninstall_));
    EXPECT_STREQ("AbC+/=", uninstall_.uninstallPass);
    EXPECT_EQ(1u, uninstall_.uninstall);

    // A password enciphered as a fixed 128-byte field reads up to its NUL.
    std::string field(128, '\0');
    field.replace(0, 5, "fixed");
    char cipher[256] = {};
    ASSERT_EQ(0, utl_EncryptStr(cipher, sizeof cipher, field.data(), 128));
    std::string fixed = Write("fixed.xml", SettingsDoc(
        std::string("<functions><uninstallPassword>") + cipher + "</uninstallPassword></functions>"));
    CCustomXmlParse other;
    ASSERT_EQ(1, other.GetFunctions(fixed.c_str(), &functions_));
    EXPECT_STREQ("fixed", functions_.uninstallPassword);
}

TEST_F(CustomXmlParseTest, MissingFileGivesZeroAndKeepsDefaults) {
    CCustomXmlParse reader;
    std::string missing = std::string(kDir) + "\\missing.xml";
    EXPECT_EQ(0, reader.GetFunctions(missing.c_str(), &functions_));
    EXPECT_EQ(0, reader.GetLogoOptions(kDir, &logo_)) << "a directory";
    EXPECT_EQ(0, reader.GetUninstallInfo(nullptr, &uninstall_));
    EXPECT_EQ(0, reader.LoadXml(""));
    EXPECT_EQ(0, reader.LoadXml(std::string(300, 'a').c_str()));
    EXPECT_EQ(1u, functions_.dynamicVifInfo);
    // A failed load is not remembered as a document: once the file is there,
    // the same object loads it.
    Write("missing.xml", SettingsDoc("<functions><uninstall>1</uninstall></functions>"));
    EXPECT_EQ(1, reader.GetFunctions(missing.c_str(), &functions_));
    EXPECT_EQ(1u, functions_.uninstall);
}

TEST_F(CustomXmlParseTest, TwoSectionsOfOnePathLoadTheFileOnce) {
    std::string path = Write("a.xml", SettingsDoc(
        "<functions><uninstall>1</uninstall></functions>"
        "<logoOptions><CusIconName>first.ico</CusIconName></logoOptions>"));
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetFunctions(path.c_str(), &functions_));
    // Rewritten on disk: the reader goes on with the document it has.
    Write("a.xml", SettingsDoc("<logoOptions><CusIconName>second.ico</CusIconName></logoOptions>"));
    ASSERT_EQ(1, reader.GetLogoOptions(path.c_str(), &logo_));
    EXPECT_STREQ("first.ico", logo_.CusIconName);
    // Another path is another document.
    std::string other = Write("b.xml", SettingsDoc("<uninstallInfo><uninstall>3</uninstall></uninstallInfo>"));
    ASSERT_EQ(1, reader.GetUninstallInfo(other.c_str(), &uninstall_));
    EXPECT_EQ(3u, uninstall_.uninstall);
    ASSERT_EQ(1, reader.GetLogoOptions(path.c_str(), &logo_));
    EXPECT_STREQ("second.ico", logo_.CusIconName);
}

TEST_F(CustomXmlParseTest, ChineseIconNameArrivesInTheAnsiCodePage) {
    // "图标.ico": CusIconName names a file, so it must come out as the ANSI
    // bytes that the file APIs take.
    std::string path = Write("a.xml", SettingsDoc(
        "<logoOptions><CusIconName>\xE5\x9B\xBE\xE6\xA0\x87.ico</CusIconName></logoOptions>"));
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetLogoOptions(path.c_str(), &logo_));
    if (GetACP() == 936) {
        EXPECT_STREQ("\xCD\xBC\xB1\xEA.ico", logo_.CusIconName);
    } else {
        EXPECT_STREQ("??.ico", logo_.CusIconName);
    }
}

} // namespace
