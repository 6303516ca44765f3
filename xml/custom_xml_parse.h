// CCustomXmlParse: reads one section of a customisation document
// (KivraCustom.xml, KivraUninstallInfo.xml) into a plain settings record.
//
// The documents are UTF-8 XML: msg/content/<section>/<setting>, each setting an
// element whose text is its value (decimal numbers, UTF-8 texts). Attributes and
// every other section are ignored. The caller owns each record and sets it to
// its defaults (the Defaults functions below) before the read; a section that
// is present overwrites every field it covers, one missing from the section
// with 0 or "".
//
// Each caller makes one reader for one document, reads one or more sections of
// it and destroys the reader.
#pragma once
#include <stdint.h>

#include "xml/based_xml_parser.h"

// Section "functions". Texts are in the ANSI code page.
struct CustomFunctions {
    uint32_t renameConn;
    uint32_t arp;
    uint32_t dhcp;
    uint32_t wanControl;
    uint32_t acl;
    uint32_t uninstall;
    uint32_t remindPopSecUI;
    uint32_t AutoHideSecUI;
    uint32_t userFromCert;
    uint32_t blackBox;
    uint32_t disableExit;
    uint32_t patchARV;
    uint32_t url;
    uint32_t autoReboot;
    uint32_t disablePap;
    uint32_t ssid;
    uint32_t forbidMdyIp;
    uint32_t drvErr;
    uint32_t dynamicPwdVerify;
    uint32_t msgAuthOpt;
    uint32_t macsec;
    uint32_t iESiOSDK;
    uint32_t passwordProtection;
    char uninstallPassword[129]; // the deciphered (plain) password; "" when undecipherable
    uint32_t userNameLenFromCert;
    char userFromExtendPro[33];
    uint32_t dynamicVifInfo;
    uint32_t msgAuthInfo;
    char msgAuthServIP[261]; // a server name or address; longer values are cut
    uint32_t msgAuthServPort;
};

// Section "logoOptions".
struct CustomLogoOptions {
    int32_t customIcon;
    char CusIconName[261]; // the customer's icon file name
    char subAboutInfo[1025];
    char subTitle[261];
    int32_t bAddTrayIcon;
    int32_t bHideIcon;
    int32_t bHideShortcut;
    int32_t logIcon;
    char LogIconName[261];
    char subRightInfo[1025];
    int32_t bHideSecStatus;
};

// Section "uninstallInfo".
struct CustomUninstallInfo {
    uint32_t uninstall;
    char uninstallPass[129]; // the stored cipher text, not deciphered
};

// The records' defaults: every number 0 and every text "", except
// dynamicVifInfo and msgAuthInfo, 1.
void CustomFunctionsDefaults(CustomFunctions* record);
void CustomLogoOptionsDefaults(CustomLogoOptions* record);
void CustomUninstallInfoDefaults(CustomUninstallInfo* record);

class CCustomXmlParse : public CBasedTXmlParser {
public:
    CCustomXmlParse();
    virtual ~CCustomXmlParse();

    // Replaces the document by
    // <?xml version="1.0" encoding="UTF-8"?><msg><content></content></msg>
    // with the cursor on its content element, and forgets the loaded path.
    virtual void NewXml();

    // Makes the document at path the current one. 1 when it is loaded: at once,
    // without reading the file again, when path is the path last loaded
    // successfully; otherwise after reading and parsing the file. 0 for a null
    // or empty path or one of 261 bytes or more, or a file that cannot be read
    // or parsed; the document is then empty and a later call loads afresh.
    int LoadXml(const char* path);

    // Makes the document of size bytes, a file already read, the current one
    // (a verified customisation file is parsed from the very bytes that
    // verified, never read again), and forgets the loaded path. 1 when they
    // parse; 0 as LoadXml.
    int LoadXmlBytes(const void* bytes, size_t size);

    // Each loads path with LoadXml (0 when that fails) and, when the section
    // msg/content/<section> exists, reads every field of it into record; the
    // record is left untouched when the section is missing. Returns 1 whenever
    // the document was loaded (0 also for a null record). The cursor stays on
    // the section, or none.
    int GetFunctions(const char* path, CustomFunctions* record);
    int GetLogoOptions(const char* path, CustomLogoOptions* record);
    int GetUninstallInfo(const char* path, CustomUninstallInfo* record);

    // The same from the current document (LoadXml or LoadXmlBytes); 0 when
    // none is loaded.
    int ReadFunctions(CustomFunctions* record);
    int ReadLogoOptions(CustomLogoOptions* record);
    int ReadUninstallInfo(CustomUninstallInfo* record);

private:
    // Moves the cursor to msg/content/section of the current document. -1
    // when none is loaded, 0 when the section is missing, 1 when found.
    int EnterSection(const char* section);

    char loadedPath_[261]; // the path of the last document asked for, or "" (also for bytes)
    bool loaded_;          // that document was loaded and is the current one
};
