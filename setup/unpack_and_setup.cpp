#include "setup/unpack_and_setup.h"

#include <stdio.h>
#include <string.h>

#include "log/log.h"
#include "pack/unpack.h"
#include "platform/cmd.h"
#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/work_dir.h"
#include "setup/carrier.h"
#include "setup/globals.h"
#include "setup/handoff.h"
#include "setup/sequence_codes.h"

namespace {

// The carrier must be below 4 GiB and longer than the pack's offset. Its size
// is the held file's.
bool CarrierSizeFits(const Carrier& carrier) {
    LARGE_INTEGER size;
    return GetFileSizeEx(carrier.file.Get(), &size) && size.HighPart == 0 && size.LowPart > carrier.offset;
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
    // CreateProcess try "D:\Scratch.exe" first. It runs in the work directory.
    if (!JoinPath(program, sizeof program, workDir, "7za.exe")) return false;
    CmdOutput output;
    if (!GetCmd(command, &output, "Setup", program, workDir)) return false;
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

    if (!CarrierSizeFits(carrier)) {
        *errorCode = kSeqBadCarrierSize;
        return EndSequence(0);
    }
    // Read through the handle that was judged, never by its name again.
    if (!utl_FileUnpackByHandle(carrier.file.Get(), *carrierDir ? carrierDir : ".", fileName, workDir, errorCode,
                                carrier.offset))
        return EndSequence(0);
    carrier.file.Reset();

    char qtDir[MAX_PATH];
    if (!JoinPath(qtDir, sizeof qtDir, workDir, "Qt")) return EndSequence(0);
    if (!DirExists(qtDir) && !CreateDirectoryA(qtDir, nullptr)) return EndSequence(0);
    ExtractRecordedArchive("Qt.7z", errorCode);
    ExtractRecordedArchive("tool.7z", errorCode);

    if (!LayOutDataFiles(errorCode)) return EndSequence(0);
    LayOutUrlCommands();
    return HandOverToInstaller(errorCode);
}
