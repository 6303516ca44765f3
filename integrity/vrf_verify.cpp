#include "integrity/vrf_verify.h"

#include <string.h>
#include <windows.h>

#include "integrity/backup_path.h"
#include "integrity/vrf_file.h"
#include "pack/file_io.h"
#include "pack/pack_format.h"
#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/ini.h"

namespace {

// Replaces block with the icon's 32 bytes at offset 512 when the icon file
// exists, has a zero high size word and holds at least 544 bytes.
void TakeIconBlock(const char* iconPath, unsigned char block[kVrfBlockSize]) {
    DWORD high = 0, low = 0;
    if (!utl_GetFileSize(iconPath, &high, &low) || high != 0 || low < kVrfIconMinSize) return;
    ScopedHandle icon(utl_OpenFileForRead(iconPath));
    if (!icon.Valid()) return;
    unsigned char head[kVrfIconMinSize];
    if (!ReadExactly(icon.Get(), head, sizeof head)) return;
    VrfIconBlock(head, sizeof head, block);
}

// 1 when name can only mean a file directly in the guarded file's directory
// (the pack's rule for a plain record name). The name comes from a
// customisation file that is not yet verified when it is read, and the setup
// copies under it with administrator rights.
int IsPlainFileName(const char* name) {
    return name && pack::IsSafeRecordName(name, strlen(name), 0);
}

// Reads exactly size bytes of file into area. False when it holds fewer, or
// more: a file that grew since its size was taken does not verify.
bool ReadAllOf(HANDLE file, unsigned char* area, DWORD size) {
    unsigned char extra;
    DWORD got = 0;
    return ReadExactly(file, area, size) && ReadFile(file, &extra, 1, &got, nullptr) && got == 0;
}

// The common check: dir\vrfName (exactly 256 bytes) against dir\guardedName
// (at most 40588 bytes) with the given block. The guarded file is read once,
// straight into the assembly buffer, and those bytes are checked; file
// receives where they are.
int VerifyPair(const char* dir, const char* guardedName, const char* vrfName, const unsigned char* block,
               GuardedFile* file) {
    unsigned char* area = VrfAssemblyArea();
    if (file) *file = {area, 0};
    char vrfPath[MAX_PATH + 1];
    char guardedPath[MAX_PATH + 1];
    if (!JoinPath(vrfPath, sizeof vrfPath, dir, vrfName) ||
        !JoinPath(guardedPath, sizeof guardedPath, dir, guardedName)) {
        return 0;
    }

    DWORD high = 0, low = 0;
    if (!utl_GetFileSize(vrfPath, &high, &low) || high != 0 || low != kVrfFileSize) return 0;
    unsigned char image[kVrfFileSize];
    {
        ScopedHandle vrf(utl_OpenFileForRead(vrfPath));
        if (!vrf.Valid() || !ReadExactly(vrf.Get(), image, kVrfFileSize)) return 0;
    }

    if (!utl_GetFileSize(guardedPath, &high, &low) || high != 0 || low > kVrfMaxGuardedSize) {
        return 0;
    }
    {
        ScopedHandle guarded(utl_OpenFileForRead(guardedPath));
        if (!guarded.Valid() || !ReadAllOf(guarded.Get(), area, low)) return 0;
    }
    if (file) file->size = low;
    return VrfCheckImage(area, low, image, kVrfFileSize, block);
}

} // namespace

int ReadGuardedFile(const char* path, GuardedFile* file) {
    if (!file) return 0;
    *file = {VrfAssemblyArea(), 0};
    ScopedHandle guarded(utl_OpenFileForRead(path));
    LARGE_INTEGER length;
    if (!guarded.Valid() || !GetFileSizeEx(guarded.Get(), &length) || length.QuadPart > kVrfMaxGuardedSize ||
        !ReadAllOf(guarded.Get(), VrfAssemblyArea(), (DWORD)length.QuadPart))
        return 0;
    file->size = (unsigned)length.QuadPart;
    return 1;
}

int CusIniVerify(const char* dir, int iconBound, GuardedFile* file) {
    unsigned char block[kVrfBlockSize];
    VrfDefaultBlock(block);
    if (iconBound && dir) {
        // The icon is named by the INI itself, read before it is trusted; the
        // check that follows decides whether anything read from it counts.
        char iniPath[MAX_PATH + 1];
        GuardedFile ini;
        if (JoinPath(iniPath, sizeof iniPath, dir, "KivraCustom.ini") && ReadGuardedFile(iniPath, &ini) &&
            IniTextInt(ini.bytes, ini.size, "LogoOptions", "CustomIcon", 0) != 0) {
            char iconName[MAX_PATH + 1] = {0};
            IniTextString(ini.bytes, ini.size, "LogoOptions", "CusIconName", iconName, sizeof iconName);
            char iconPath[MAX_PATH + 1];
            if (IsPlainFileName(iconName) && JoinPath(iconPath, sizeof iconPath, dir, iconName)) {
                TakeIconBlock(iconPath, block);
            }
        }
    }
    return VerifyPair(dir, kVrfPairs[kVrfCustomIni].guarded, kVrfPairs[kVrfCustomIni].vrf, block, file);
}

int CusXmlVerify(const char* dir, int iconBound, const char* iconFileName, GuardedFile* file) {
    unsigned char block[kVrfBlockSize];
    VrfDefaultBlock(block);
    char iconPath[MAX_PATH + 1];
    if (iconBound && dir && IsPlainFileName(iconFileName) &&
        JoinPath(iconPath, sizeof iconPath, dir, iconFileName)) {
        if (!FileExists(iconPath)) {
            // The client keeps a copy of the customer's icon in the system
            // directory; the reginfo copy may have been lost.
            char source[MAX_PATH + 1];
            if (JoinBackupPath(source, sizeof source, iconFileName)) CopyFileA(source, iconPath, TRUE);
        }
        TakeIconBlock(iconPath, block);
    }
    return VerifyPair(dir, kVrfPairs[kVrfCustomXml].guarded, kVrfPairs[kVrfCustomXml].vrf, block, file);
}

int UninstallInfoVerify(const char* dir, GuardedFile* file) {
    unsigned char block[kVrfBlockSize];
    VrfDefaultBlock(block);
    return VerifyPair(dir, kVrfPairs[kVrfUninstallIni].guarded, kVrfPairs[kVrfUninstallIni].vrf, block, file);
}

int UninstallInfoXmlVerify(const char* dir, GuardedFile* file) {
    unsigned char block[kVrfBlockSize];
    VrfDefaultBlock(block);
    return VerifyPair(dir, kVrfPairs[kVrfUninstallXml].guarded, kVrfPairs[kVrfUninstallXml].vrf, block, file);
}
