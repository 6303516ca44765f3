#include "setup/unpack_and_setup.h"

#include <stdio.h>
#include <string.h>

#include "log/log.h"
#include "pack/file_io.h"
#include "pack/pack_format.h"
#include "pack/unpack.h"
#include "platform/cmd.h"
#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/registry.h"
#include "platform/work_dir.h"
#include "setup/globals.h"
#include "setup/handoff.h"
#include "setup/sequence_codes.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Kivra";
const char kPackageUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{E3C27A15-6D49-4B8E-9F03-52A6C1D7B480}";

// Where the payload comes from: the setup executable itself, or a local copy
// of the installer package for a client that was installed from it.
struct Carrier {
    char path[MAX_PATH];
    DWORD offset;
};

// The path of the installer package the client was installed from, or "" after
// ten failed retries (a second apart) of the fallback key.
void ReadPackageSource(char* source, DWORD size) {
    if (RegReadString(HKEY_LOCAL_MACHINE, kProductKey, "MsiSourceName", source, size)) return;
    for (int retries = 0; retries < 10; ++retries) {
        SetupLog("can't get source path.");
        bool found = RegReadString(HKEY_LOCAL_MACHINE, kPackageUninstallKey, "MsiSourceName", source,
                                   size) != 0;
        Sleep(1000);
        if (found) return;
    }
    source[0] = '\0';
}

// The running executable's full path into path. False when it does not fit.
bool OwnExecutablePath(char* path, DWORD size) {
    DWORD len = GetModuleFileNameA(nullptr, path, size);
    return len > 0 && len < size;
}

// Splits path at its last backslash: dir receives what comes before it (the
// whole path's room is enough) and the result is the file name after it; with
// no backslash, dir is "" and the name is the whole path.
const char* SplitAtLastBackslash(const char* path, char* dir) {
    const char* slash = strrchr(path, '\\');
    size_t dirLen = slash ? (size_t)(slash - path) : 0;
    memcpy(dir, path, dirLen);
    dir[dirLen] = '\0';
    return slash ? slash + 1 : path;
}

// "KivraSetup.msi" in the folder of the running executable, whatever the
// executable itself is called ("Setup (1).exe" after a second download).
bool LocalPackageCopyPath(char* path, size_t size) {
    char exe[MAX_PATH], dir[MAX_PATH];
    if (!OwnExecutablePath(exe, sizeof exe)) return false;
    SplitAtLastBackslash(exe, dir);
    return *dir && JoinPath(path, size, dir, "KivraSetup.msi") != 0;
}

bool ChooseCarrier(Carrier* carrier) {
    DWORD byMsi = 0;
    RegReadDword(HKEY_LOCAL_MACHINE, kProductKey, "InstallByMsi", &byMsi);
    if (!byMsi) {
        carrier->offset = pack::kSetupExeOffset;
        return OwnExecutablePath(carrier->path, sizeof carrier->path);
    }

    SetupLog("msi install.");
    char source[MAX_PATH] = {0};
    ReadPackageSource(source, sizeof source);
    if (!LocalPackageCopyPath(carrier->path, sizeof carrier->path)) return false;
    if (FileExists(carrier->path)) {
        SetupLog("InstallScript has copy msi file.");
    } else if (!FileExists(source)) {
        SetupLog("Network problem, cannot access source file.");
        return false;
    } else {
        CopyFileA(source, carrier->path, FALSE);
        if (!FileExists(carrier->path)) {
            SetupLog("Cannot use setup copy msi file, accessible error.");
            return false;
        }
    }
    carrier->offset = pack::kMsiCopyOffset;
    return true;
}

// The carrier must be below 4 GiB and longer than the pack's offset.
bool CarrierSizeFits(const Carrier& carrier, const char* fileName) {
    DWORD high = 0, low = 0;
    int known;
    if (FileExists(carrier.path)) {
        known = utl_GetFileSize(carrier.path, &high, &low);
    } else {
        SetupLog(carrier.path);
        known = utl_GetFileSize(fileName, &high, &low);
    }
    return known && high == 0 && low > carrier.offset;
}

// Extracts W\archive into W with the payload's own 7za.exe and logs the
// command and its output. Returns false when the archiver could not run or did
// not report "Everything is Ok".
bool ExtractArchive(const char* archive) {
    char command[3 * MAX_PATH + 32], program[MAX_PATH];
    snprintf(command, sizeof command, "%s\\7za.exe x \"%s\\%s\" -o\"%s\" -y", workDir, workDir, archive,
             workDir);
    SetupLog(command);
    // The command line keeps its unquoted program part, as the archiver has
    // always been given it; the program itself is named whole, so that a work
    // directory below a blank (a \tmp link to "D:\Scratch Space") cannot make
    // CreateProcess try "D:\Scratch.exe" first.
    if (!JoinPath(program, sizeof program, workDir, "7za.exe")) return false;
    CmdOutput output;
    if (!GetCmd(command, &output, "Setup", program)) return false;
    SetupLog(output.Text());
    return strstr(output.Text(), "Everything is Ok") != nullptr;
}

// Logs W\archive and extracts it when present; a failure only records 112.
void ExtractRecordedArchive(const char* archive, DWORD* errorCode) {
    char path[MAX_PATH];
    if (!JoinPath(path, sizeof path, workDir, archive)) return;
    SetupLog(path);
    if (FileExists(path) && !ExtractArchive(archive)) *errorCode = kSeqArchiveNotExtracted;
}

void CopyIfPresent(const char* name, const char* dataDir) {
    char from[MAX_PATH], to[MAX_PATH];
    if (JoinPath(from, sizeof from, workDir, name) && JoinPath(to, sizeof to, dataDir, name) &&
        FileExists(from))
        CopyFileA(from, to, FALSE);
}

// Files named "<prefix>-<rest>" that contain "cfg.xml" go to W\data\<prefix>\<rest>.
void PlaceConfigFile(const char* name) {
    const char* dash = strchr(name, '-');
    if (!strstr(name, "cfg.xml") || !dash) return; // no prefix: nowhere defined to go
    char prefix[MAX_PATH];
    size_t prefixLen = (size_t)(dash - name);
    memcpy(prefix, name, prefixLen);
    prefix[prefixLen] = '\0';
    // "." or ".." would name the data folder itself or the work directory.
    if (IsDotOrDotDot(prefix)) return;
    char dataDir[MAX_PATH], target[MAX_PATH], from[MAX_PATH], to[MAX_PATH];
    if (!JoinPath(dataDir, sizeof dataDir, workDir, "data") ||
        !JoinPath(target, sizeof target, dataDir, prefix) ||
        !JoinPath(from, sizeof from, workDir, name) || !JoinPath(to, sizeof to, target, dash + 1))
        return;
    CreateDirectoryA(target, nullptr);
    CopyFileA(from, to, FALSE);
}

// Lays the connection and customisation data files out under W\Data. Returns
// false (with 356) only when the work directory cannot be listed.
bool LayOutDataFiles(DWORD* errorCode) {
    char dataDir[MAX_PATH];
    if (!JoinPath(dataDir, sizeof dataDir, workDir, "Data")) return true;
    if (!DirExists(dataDir) && !CreateDirectoryA(dataDir, nullptr)) return true;
    JoinPath(dataDir, sizeof dataDir, workDir, "DATA");
    CopyIfPresent("locations.xml", dataDir);
    CopyIfPresent("conn_cfg.ini", dataDir);

    char pattern[MAX_PATH];
    WIN32_FIND_DATAA found;
    if (!JoinPath(pattern, sizeof pattern, workDir, "*")) {
        *errorCode = kSeqCannotListWorkDir;
        return false;
    }
    ScopedFind find(FindFirstFileA(pattern, &found));
    if (!find.Valid()) {
        *errorCode = kSeqCannotListWorkDir;
        return false;
    }
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) PlaceConfigFile(found.cFileName);
    } while (FindNextFileA(find.Get(), &found));
    return true;
}

// The URL-command customisation: W\UrlCmdCustomCfg is replaced by what
// UrlCmdCustomCfg.7z holds, or removed when the pack has no such archive.
void LayOutUrlCommands() {
    char archive[MAX_PATH], dir[MAX_PATH];
    if (!JoinPath(archive, sizeof archive, workDir, "UrlCmdCustomCfg.7z") ||
        !JoinPath(dir, sizeof dir, workDir, "UrlCmdCustomCfg"))
        return;
    if (!FileExists(archive)) {
        DeleteDirTree(dir);
        return;
    }
    if (DirExists(dir)) {
        DeleteMatchingFiles(dir, "*.*");
        DeleteSubDirTrees(dir);
    } else {
        CreateDirectoryA(dir, nullptr);
        if (!DirExists(dir)) return;
    }
    SetupLog(archive);
    if (FileExists(archive) && !ExtractArchive("UrlCmdCustomCfg.7z"))
        SetupLog("unpack managecfg fail!");
}

} // namespace

int UnpackAndSetup(DWORD* errorCode) {
    Carrier carrier;
    if (!ChooseCarrier(&carrier)) return EndSequence(0);

    char carrierDir[MAX_PATH];
    const char* fileName = SplitAtLastBackslash(carrier.path, carrierDir);

    // \tmp and the work directory are held open from here until the installer
    // has ended: nobody can rename either away and put another in its place
    // meanwhile.
    HeldWorkDir held;
    if (!CreateWorkDir(workDir, sizeof workDir, "KivraSetup", 0, 1, &held)) {
        *errorCode = kSeqNoWorkDir;
        return EndSequence(0);
    }
    char dam[MAX_PATH];
    if (JoinPath(dam, sizeof dam, workDir, "DAM")) DeleteDirFlat(dam);

    if (!CarrierSizeFits(carrier, fileName)) {
        *errorCode = kSeqBadCarrierSize;
        return EndSequence(0);
    }
    const char* sourceDir = FileExists(carrier.path) && *carrierDir ? carrierDir : ".";
    if (!utl_FileUnpack(sourceDir, fileName, workDir, errorCode, carrier.offset)) return EndSequence(0);

    char qtDir[MAX_PATH];
    if (!JoinPath(qtDir, sizeof qtDir, workDir, "Qt")) return EndSequence(0);
    if (!DirExists(qtDir) && !CreateDirectoryA(qtDir, nullptr)) return EndSequence(0);
    ExtractRecordedArchive("Qt.7z", errorCode);
    ExtractRecordedArchive("tool.7z", errorCode);

    if (!LayOutDataFiles(errorCode)) return EndSequence(0);
    LayOutUrlCommands();
    return HandOverToInstaller(errorCode);
}
