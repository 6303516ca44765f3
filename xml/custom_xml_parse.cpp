#include "xml/custom_xml_parse.h"

#include <string.h>

#include "integrity/cipher.h"
#include "integrity/wipe.h"

namespace {

const char kEmptyDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?><msg><content></content></msg>";

// Byte limits on the stored (UTF-8) values, cut before conversion.
const unsigned short kNoLimit = 0;
const unsigned short kPathLimit = 260;
const unsigned short kExtendProLimit = 32;
const unsigned short kPasswordLimit = 128;

// Capacity of the deciphered password, as the cipher text was made for it.
const unsigned kPlainPasswordSize = 128;

} // namespace

void CustomFunctionsDefaults(CustomFunctions* record) {
    if (!record) return;
    memset(record, 0, sizeof *record);
    record->dynamicVifInfo = 1;
    record->msgAuthInfo = 1;
}

void CustomLogoOptionsDefaults(CustomLogoOptions* record) {
    if (record) memset(record, 0, sizeof *record);
}

void CustomUninstallInfoDefaults(CustomUninstallInfo* record) {
    if (record) memset(record, 0, sizeof *record);
}

CCustomXmlParse::CCustomXmlParse() : loaded_(false) { loadedPath_[0] = 0; }

CCustomXmlParse::~CCustomXmlParse() {
    loadedPath_[0] = 0;
    loaded_ = false;
}

void CCustomXmlParse::NewXml() {
    loadedPath_[0] = 0;
    loaded_ = false;
    if (!ParseDocument(kEmptyDocument)) return;
    const char* const path[] = {"msg", "content"};
    MoveCursor(path, 2);
}

int CCustomXmlParse::LoadXml(const char* path) {
    if (!path) return 0;
    // The same document again: two sections of one file read it once. Only a
    // load that succeeded counts, so a failed one is never taken for a document.
    if (loaded_ && *path && strcmp(path, loadedPath_) == 0) return 1;

    ResetDocument();
    loaded_ = false;
    loadedPath_[0] = 0;
    size_t length = strlen(path);
    if (length == 0 || length >= sizeof loadedPath_) return 0;
    memcpy(loadedPath_, path, length + 1);
    loaded_ = LoadDocument(path) != 0;
    return loaded_ ? 1 : 0;
}

int CCustomXmlParse::LoadXmlBytes(const void* bytes, size_t size) {
    loadedPath_[0] = 0;
    loaded_ = LoadDocumentBytes(bytes, size) != 0;
    return loaded_ ? 1 : 0;
}

int CCustomXmlParse::EnterSection(const char* section) {
    if (!loaded_) return -1;
    const char* const names[] = {"msg", "content", section};
    MoveCursor(names, 3);
    return current_ ? 1 : 0;
}

int CCustomXmlParse::GetFunctions(const char* path, CustomFunctions* r) {
    return r && LoadXml(path) ? ReadFunctions(r) : 0;
}

int CCustomXmlParse::GetLogoOptions(const char* path, CustomLogoOptions* r) {
    return r && LoadXml(path) ? ReadLogoOptions(r) : 0;
}

int CCustomXmlParse::GetUninstallInfo(const char* path, CustomUninstallInfo* r) {
    return r && LoadXml(path) ? ReadUninstallInfo(r) : 0;
}

int CCustomXmlParse::ReadFunctions(CustomFunctions* r) {
    if (!r) return 0;
    int section = EnterSection("functions");
    if (section < 0) return 0;
    if (section == 0) return 1;

    GetNVUInt("renameConn", &r->renameConn);
    GetNVUInt("arp", &r->arp);
    GetNVUInt("dhcp", &r->dhcp);
    GetNVUInt("wanControl", &r->wanControl);
    GetNVUInt("acl", &r->acl);
    GetNVUInt("uninstall", &r->uninstall);
    GetNVUInt("passwordProtection", &r->passwordProtection);
    GetNVUInt("remindPopSecUI", &r->remindPopSecUI);
    GetNVUInt("AutoHideSecUI", &r->AutoHideSecUI);
    GetNVUInt("blackBox", &r->blackBox);
    GetNVUInt("userFromCert", &r->userFromCert);
    GetNVUInt("disableExit", &r->disableExit);
    GetNVUInt("patchARV", &r->patchARV);
    GetNVUInt("autoReboot", &r->autoReboot);
    GetNVUInt("url", &r->url);
    GetNVUInt("disablePap", &r->disablePap);
    GetNVUInt("ssid", &r->ssid);
    GetNVUInt("forbidMdyIp", &r->forbidMdyIp);
    GetNVUInt("drvErr", &r->drvErr);
    GetNVUInt("dynamicPwdVerify", &r->dynamicPwdVerify);
    GetNVUInt("userNameLenFromCert", &r->userNameLenFromCert);
    GetNVStr("userFromExtendPro", r->userFromExtendPro, sizeof r->userFromExtendPro,
             kExtendProLimit);
    GetNVUInt("dynamicVifInfo", &r->dynamicVifInfo);
    GetNVUInt("macsec", &r->macsec);
    GetNVUInt("msgAuthOpt", &r->msgAuthOpt);
    GetNVUInt("iESiOSDK", &r->iESiOSDK);
    // Without message authentication its settings are not meaningful and keep
    // whatever the caller gave them.
    if (r->msgAuthOpt != 0) {
        GetNVUInt("msgAuthInfo", &r->msgAuthInfo);
        GetNVStr("msgAuthServIP", r->msgAuthServIP, sizeof r->msgAuthServIP, kNoLimit);
        GetNVUInt("msgAuthServPort", &r->msgAuthServPort);
    }

    // The password is stored enciphered; the record carries it in clear. A
    // value that does not decipher reads as no password.
    char cipherText[kPasswordLimit + 1];
    GetNVStr("uninstallPassword", cipherText, sizeof cipherText, kPasswordLimit);
    char plain[kPlainPasswordSize];
    memset(plain, 0, sizeof plain);
    unsigned plainLength = sizeof plain;
    if (utl_DecryptStr(plain, &plainLength, cipherText) != 0) memset(plain, 0, sizeof plain);
    size_t n = 0;
    while (n < sizeof plain && plain[n]) ++n;
    memcpy(r->uninstallPassword, plain, n);
    r->uninstallPassword[n] = 0;
    WipeBytes(plain, sizeof plain);
    return 1;
}

int CCustomXmlParse::ReadLogoOptions(CustomLogoOptions* r) {
    if (!r) return 0;
    int section = EnterSection("logoOptions");
    if (section < 0) return 0;
    if (section == 0) return 1;

    GetNVInt("customIcon", &r->customIcon);
    GetNVInt("logIcon", &r->logIcon);
    GetNVStr("CusIconName", r->CusIconName, sizeof r->CusIconName, kPathLimit);
    GetNVStr("LogIconName", r->LogIconName, sizeof r->LogIconName, kPathLimit);
    GetNVStr("subAboutInfo", r->subAboutInfo, sizeof r->subAboutInfo, kNoLimit);
    GetNVStr("subTitle", r->subTitle, sizeof r->subTitle, kPathLimit);
    GetNVStr("subRightInfo", r->subRightInfo, sizeof r->subRightInfo, kNoLimit);
    GetNVInt("bAddTrayIcon", &r->bAddTrayIcon);
    GetNVInt("bHideIcon", &r->bHideIcon);
    GetNVInt("bHideSecStatus", &r->bHideSecStatus);
    GetNVInt("bHideShortcut", &r->bHideShortcut);
    return 1;
}

int CCustomXmlParse::ReadUninstallInfo(CustomUninstallInfo* r) {
    if (!r) return 0;
    int section = EnterSection("uninstallInfo");
    if (section < 0) return 0;
    if (section == 0) return 1;

    GetNVStr("uninstallPass", r->uninstallPass, sizeof r->uninstallPass, kPasswordLimit);
    GetNVUInt("uninstall", &r->uninstall);
    return 1;
}
