#include "custom/uninstall_prompt.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "custom/common_files.h"
#include "custom/custom_files.h"
#include "integrity/backup_path.h"
#include "integrity/cipher.h"
#include "integrity/vrf_verify.h"
#include "log/log.h"
#include "platform/fs.h"
#include "platform/ini.h"
#include "platform/registry.h"
#include "xml/custom_xml_parse.h"

namespace {

const DWORD kPasswordChars = 128;
const char kCurrentProductKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{5A1E7C03-2B64-4F19-8D2E-71C0B93A6E42}";
const char kOlderProductKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{9D4B2F61-7E38-4C05-B1A7-3F82E6D05C19}";

// One log entry, built from several messages joined without separators.
class Entry {
public:
    explicit Entry(const char* category) : category_(category) { text_[0] = '\0'; }
    void Add(const char* message) {
        size_t used = strlen(text_);
        snprintf(text_ + used, sizeof text_ - used, "%s", message);
    }
    void Write() const {
        char line[sizeof text_ + 32];
        snprintf(line, sizeof line, "IsUninstallPrompt:%s", text_);
        ModuleLog(category_, line, 0);
    }

private:
    const char* category_;
    char text_[512];
};

void Log(const char* category, const char* message) {
    Entry entry(category);
    entry.Add(message);
    entry.Write();
}

// Copies name from the backup directory over the reginfo directory's copy.
bool Restore(const char* regInfo, const char* name) {
    char from[MAX_PATH + 1], to[MAX_PATH + 1];
    return JoinBackupPath(from, sizeof from, name) && JoinPath(to, sizeof to, regInfo, name) &&
           CopyFileA(from, to, FALSE);
}

// A failed check repaired once from the backups: the pair is copied over and
// checked again (into file). Returns whether it now verifies; the step's entry
// is logged.
struct Repair {
    const char* failedMessage;   // "verifying ... FAILED with Err "
    const char* dataFile;
    const char* dataCopyFailed;
    const char* vrfFile;
    const char* vrfCopyFailed;
    const char* failedAgain;
};

bool RepairFromBackup(const char* category, const char* regInfo, const Repair& repair,
                      int (*verify)(const char*, GuardedFile*), GuardedFile* file) {
    Entry entry(category);
    entry.Add(repair.failedMessage);
    entry.Add(" ,So copy bak files!");
    bool verified = false;
    if (!Restore(regInfo, repair.dataFile)) {
        entry.Add(repair.dataCopyFailed);
    } else if (!Restore(regInfo, repair.vrfFile)) {
        entry.Add(repair.vrfCopyFailed);
    } else if (verify(regInfo, file)) {
        verified = true;
    } else {
        entry.Add(repair.failedAgain);
    }
    entry.Write();
    return verified;
}

int VerifyCustomIni(const char* regInfo, GuardedFile* verified) { return CusIniVerify(regInfo, 0, verified); }

const Repair kCustomXmlRepair = {"verifying KivraCustom xml info FAILED with Err ", "KivraCustom.xml",
                                 "CopyFile KivraCustom.xml return false!", "KivraCustomXml.vrf",
                                 "CopyFile KivraCustomxml.vrf return false!",
                                 "verifying KivraCustom xml info FAILED again!"};
const Repair kUninstallInfoXmlRepair = {
    "verifying uninstall info FAILED with Err ", "KivraUninstallInfo.xml",
    "CopyFile KivraUninstallInfo.xml return false!", "KivraUninstallInfoXml.vrf",
    "CopyFile KivraUninstallInfoxml.vrf return false!", "verifying Uninstall xml info FAILED again!"};
const Repair kCustomIniRepair = {"verifying KivraCustom ini info FAILED with Err ", "KivraCustom.ini",
                                 "CopyFile KivraCustom.ini return false!", "KivraCustom.vrf",
                                 "CopyFile KivraCustom.vrf return false!",
                                 "verifying KivraCustom ini info FAILED again!"};
const Repair kUninstallInfoIniRepair = {
    "verifying uninstall ini info FAILED with Err ", "KivraUninstallInfo.ini",
    "CopyFile KivraUninstallInfo.ini return false!", "KivraUninstallInfo.vrf",
    "CopyFile KivraUninstallInfo.vrf return false!", "verifying Uninstall ini info FAILED again!"};

// Copies at most 128 characters of text into the caller's buffer.
void StorePassword(char* password, const char* text) {
    strncpy(password, text, kPasswordChars);
    password[kPasswordChars] = '\0';
}

DWORD ReadCustomXml(const char* category, const GuardedFile& verified, char* password) {
    CustomFunctions functions;
    CustomFunctionsDefaults(&functions);
    CCustomXmlParse reader;
    if (reader.LoadXmlBytes(verified.bytes, verified.size)) reader.ReadFunctions(&functions);
    if (functions.uninstall == 1 && functions.uninstallPassword[0]) {
        // The reader hands the password over deciphered; the dialog compares
        // enciphered forms, so it is enciphered again here.
        // A cipher that fails leaves the zero-filled scratch empty.
        char scratch[kPasswordChars + 1] = {0};
        utl_EncryptStr(scratch, kPasswordChars, functions.uninstallPassword,
                       (unsigned)strlen(functions.uninstallPassword));
        StorePassword(password, scratch);
        Log(category, "Get UninstallPwd from ivraCustom.xml succ.");
    }
    SecureZeroMemory(functions.uninstallPassword, sizeof functions.uninstallPassword);
    return functions.uninstall;
}

DWORD ReadUninstallInfoXml(const char* category, const GuardedFile& verified, char* password) {
    CustomUninstallInfo info;
    CustomUninstallInfoDefaults(&info);
    CCustomXmlParse reader;
    if (reader.LoadXmlBytes(verified.bytes, verified.size)) reader.ReadUninstallInfo(&info);
    if (info.uninstall == 1 && info.uninstallPass[0]) {
        StorePassword(password, info.uninstallPass);
        Log(category, "Get UninstallPwd from KivraUninstallInfo.xml succ.");
    }
    return info.uninstall;
}

DWORD ReadIni(const char* category, const GuardedFile& verified, const char* succeeded, char* password) {
    DWORD flag = (DWORD)IniTextInt(verified.bytes, verified.size, "Functions", "Uninstall", 0);
    // At most 127 characters: the password buffer holds 128 and a terminator.
    if (IniTextString(verified.bytes, verified.size, "Functions", "Install", password, kPasswordChars) > 0)
        Log(category, succeeded);
    return flag;
}

DWORD ReadRegistry(const char* category, char* password) {
    const char* key = "SOFTWARE\\Kivra";
    DWORD flag = 0;
    if (RegReadDword(HKEY_LOCAL_MACHINE, key, "Uninstall", &flag)) {
        Log(category, "Get Uninstall from reg succ");
    } else {
        Log(category, "Get Uninstall from reg failed");
        if (RegReadDword(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orm\\Kivra", "Uninstall", &flag))
            key = "SOFTWARE\\Orm\\Kivra";
        else
            Log(category, "Get Uninstall from old reg failed");
    }
    if (RegReadString(HKEY_LOCAL_MACHINE, key, "UninstallPwd", password, kPasswordChars + 1))
        Log(category, "Get UninstallPwd from reg Succ.");
    else
        Log(category, "Get UninstallPwd from reg fail,Return true.");
    return flag;
}

// A protected client counts only when one of the two product keys is there.
int ClientInstalled(const char* category) {
    char version[MAX_PATH + 1] = {0};
    if (RegReadString(HKEY_LOCAL_MACHINE, kCurrentProductKey, "DisplayVersion", version, sizeof version)) {
        char line[MAX_PATH + 64];
        snprintf(line, sizeof line, "Get Version from reg succ. %s", version);
        Log(category, line);
        Log(category, "Need prompt uninstall password Dlg");
        return 1;
    }
    Log(category, "Get Version from new reg failed, try old.");
    if (RegReadString(HKEY_LOCAL_MACHINE, kOlderProductKey, "DisplayVersion", version, sizeof version)) {
        Log(category, "Get Version from old reg succ, return true.");
        return 1;
    }
    Log(category, "Get Version from old reg failed, return false.");
    return 0;
}

} // namespace

UninstallSource ChooseUninstallSource(const char* category, const char* regInfo, GuardedFile* verified) {
    if (utl_LoadCusXmlFile(category, verified) ||
        RepairFromBackup(category, regInfo, kCustomXmlRepair, VerifyCustomXmlPair, verified))
        return kSourceCustomXml;
    if (UninstallInfoXmlVerify(regInfo, verified) ||
        RepairFromBackup(category, regInfo, kUninstallInfoXmlRepair, UninstallInfoXmlVerify, verified))
        return kSourceUninstallInfoXml;
    if (utl_LoadCusIniFile(category, verified) ||
        RepairFromBackup(category, regInfo, kCustomIniRepair, VerifyCustomIni, verified))
        return kSourceCustomIni;
    if (UninstallInfoVerify(regInfo, verified) ||
        RepairFromBackup(category, regInfo, kUninstallInfoIniRepair, UninstallInfoVerify, verified))
        return kSourceUninstallInfoIni;
    return kSourceRegistry;
}

DWORD ReadUninstallSource(const char* category, UninstallSource source, const GuardedFile& verified,
                          char* password) {
    switch (source) {
    case kSourceCustomXml: return ReadCustomXml(category, verified, password);
    case kSourceUninstallInfoXml: return ReadUninstallInfoXml(category, verified, password);
    case kSourceCustomIni:
        return ReadIni(category, verified, "Get UninstallPwd from KivraCustom.ini succ.", password);
    case kSourceUninstallInfoIni:
        return ReadIni(category, verified, "Get UninstallPwd from KivraUninstallInfo.ini succ.", password);
    case kSourceRegistry: break;
    }
    return ReadRegistry(category, password);
}

int IsUninstallPrompt(const char* category, char* password) {
    if (!password) {
        Log(category, "parameter err.");
        return 0;
    }
    char regInfo[MAX_PATH + 1];
    UninstallSource source = kSourceRegistry;
    // The chosen file's bytes as they verified; nothing is checked between
    // here and their reading.
    GuardedFile chosen = {nullptr, 0};
    if (!GetRegInfoDir(regInfo, sizeof regInfo)) {
        Log(category, " utl_GetCommonProgramFiles failed!");
    } else {
        source = ChooseUninstallSource(category, regInfo, &chosen);
    }

    DWORD flag = ReadUninstallSource(category, source, chosen, password);
    if (flag == 0) {
        Log(category, "!dwResult, return false.");
        return 0;
    }
    return ClientInstalled(category);
}
