#include "custom/custom_files.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <imagehlp.h>

#include "custom/common_files.h"
#include "integrity/vrf_verify.h"
#include "log/log.h"
#include "platform/dll_search.h"
#include "platform/fs.h"
#include "platform/system_proc.h"
#include "xml/custom_xml_parse.h"

namespace {

// MakeSureDirectoryPathExists lives in the debug-help library, which is no
// Known DLL: it is loaded from the system directory by its full path, never
// from the folder the setup was started from. Without it the directory cannot
// be made.
int MakeDirectoryPath(const char* dirWithSlash) {
    HMODULE library = (HMODULE)LoadSystemLibrary("dbghelp.dll");
    if (!library) return 0;
    auto makePath = SystemProc<decltype(MakeSureDirectoryPathExists)>(library, "MakeSureDirectoryPathExists");
    BOOL made = makePath ? makePath(dirWithSlash) : FALSE;
    DWORD error = GetLastError();
    FreeLibrary(library);
    SetLastError(error);
    return made ? 1 : 0;
}

// The reginfo directory, created with its parents where missing.
bool EnsureRegInfoDir(const char* category, const char* prefix, char* regInfo, size_t size) {
    if (!utl_GetCommonProgramFiles()) {
        ModuleLogF(category, "%s utl_GetCommonProgramFiles failed!", prefix);
        return false;
    }
    if (!GetRegInfoDir(regInfo, size)) return false;
    if (DirExists(regInfo)) return true;
    char withSlash[MAX_PATH + 1];
    int n = snprintf(withSlash, sizeof withSlash, "%s\\", regInfo);
    // Cut short, the path would lose the backslash that makes its last part a
    // directory to create.
    bool fits = n > 0 && (size_t)n < sizeof withSlash;
    if (!fits) SetLastError(ERROR_FILENAME_EXCED_RANGE);
    if (!fits || !MakeDirectoryPath(withSlash)) {
        ModuleLogF(category, "%sCreate directory \"reginfo\" failed with ErrNo: %u.", prefix,
                   (unsigned)GetLastError());
        return false;
    }
    return true;
}

} // namespace

void ReadCustomIconName(const char* path, char* out, size_t size) {
    if (!out || size == 0) return;
    out[0] = '\0';
    CustomLogoOptions logo;
    CustomLogoOptionsDefaults(&logo);
    CCustomXmlParse reader;
    if (reader.GetLogoOptions(path, &logo)) snprintf(out, size, "%s", logo.CusIconName);
}

int VerifyCustomXmlPair(const char* dir) {
    int verified = CusXmlVerify(dir, 0, "");
    if (verified) return verified;
    // The icon name is read from the document before it is trusted; the
    // check that follows decides whether anything read from it counts.
    char xml[MAX_PATH + 1];
    char icon[MAX_PATH + 1] = {0};
    if (JoinPath(xml, sizeof xml, dir, "KivraCustom.xml")) ReadCustomIconName(xml, icon, sizeof icon);
    return CusXmlVerify(dir, 1, icon);
}

int utl_LoadCusXmlFile(const char* category) {
    char regInfo[MAX_PATH + 1];
    if (!EnsureRegInfoDir(category, "utl_LoadCusXmlFile:", regInfo, sizeof regInfo)) return 0;
    return VerifyCustomXmlPair(regInfo);
}

int utl_LoadCusIniFile(const char* category) {
    char regInfo[MAX_PATH + 1];
    if (!EnsureRegInfoDir(category, "utl_LoadCusIniFile:", regInfo, sizeof regInfo)) return 0;
    if (CusIniVerify(regInfo, 0)) return 1;

    ModuleLog(category, "utl_LoadCusIniFile:CusIniVerify new failed,try for old.", 0);
    const char* common = utl_GetCommonProgramFiles();
    char oldTop[MAX_PATH + 1], oldRegInfo[MAX_PATH + 1];
    if (!JoinPath(oldTop, sizeof oldTop, common, "Vendra-Trion") ||
        !JoinPath(oldRegInfo, sizeof oldRegInfo, oldTop, "Nexa Client\\reginfo") ||
        !CusIniVerify(oldRegInfo, 0)) {
        ModuleLog(category, "utl_LoadCusIniFile:CusIniVerify old failed,return false.", 0);
        return 0;
    }
    ModuleLog(category, "utl_LoadCusIniFile:CusIniVerify old true,so copy files.", 0);

    static const char* const kMoved[] = {"KivraCustom.ini", "KivraCustom.vrf", "KivraUninstallInfo.ini",
                                         "KivraUninstallInfo.vrf"};
    for (const char* name : kMoved) {
        char from[MAX_PATH + 1], to[MAX_PATH + 1];
        if (!JoinPath(from, sizeof from, oldRegInfo, name) || !JoinPath(to, sizeof to, regInfo, name) ||
            !CopyFileA(from, to, FALSE)) {
            ModuleLogF(category, "utl_LoadCusIniFile:CopyFile %s return false!", name);
            return 0;
        }
    }
    DeleteDirTree(oldTop);
    return 1;
}
