#include "setup/carrier.h"

#include "log/log.h"
#include "pack/pack_format.h"
#include "platform/join_path.h"
#include "platform/named_object.h"
#include "platform/own_executable.h"
#include "platform/registry.h"
#include "setup/package_copy.h"
#include "setup/package_source.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Kivra";
const char kPackageUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{E3C27A15-6D49-4B8E-9F03-52A6C1D7B480}";

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

// The folder part of path into dir, which has path's room. False when there
// is none.
bool FolderOf(const char* path, char* dir) { return *SplitAtLastBackslash(path, dir) && *dir; }

// Holds the executable this setup runs from; logs when its name now holds
// another file.
bool HoldOwnProgram(char* path, size_t size, ScopedHandle* program) {
    bool replaced = false;
    program->Reset(HoldOwnExecutable(path, size, &replaced));
    if (replaced) SetupLogF("%s is no longer the program that is running; it is not used.", path);
    return program->Valid();
}

// The copy beside the executable: "KivraSetup.msi" in the folder that really
// holds the running program (the name the log gives it in path), trusted or
// made anew, held in copy.
bool HoldPackageCarrier(HANDLE program, const char* programPath, const char* source, char* path, ScopedHandle* copy) {
    char logged[MAX_PATH], real[MAX_PATH], realDir[MAX_PATH];
    if (!FolderOf(programPath, logged) || !JoinPath(path, MAX_PATH, logged, kPackageCopyName)) return false;
    // The folder is opened where the running program really lies, and held
    // while the copy is judged or made in it.
    ObjectKind kind = kObjectMissing;
    ScopedHandle dir;
    if (FinalPathOf(program, real, sizeof real) && FolderOf(real, realDir))
        dir.Reset(OpenNamedObject(realDir, FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE, &kind));
    if (kind != kObjectDirectory) dir.Reset();

    PackageCopyState state = dir.Valid() ? HoldPackageCopy(dir.Get(), realDir, copy) : kCopyMissing;
    if (state == kCopyTrusted) {
        SetupLog("InstallScript has copy msi file.");
        return true;
    }
    if (state == kCopyUntrusted) SetupLogF("%s was not made by this setup; it is not used.", path);
    // A local source that a user could have written is as good as none.
    ScopedHandle from;
    if (!HoldPackageSource(source, &from)) {
        SetupLog("Network problem, cannot access source file.");
        return false;
    }
    if (!dir.Valid() || !MakePackageCopy(dir.Get(), realDir, from.Get(), copy)) {
        SetupLog("Cannot use setup copy msi file, accessible error.");
        return false;
    }
    return true;
}

} // namespace

int ChooseCarrier(Carrier* carrier) {
    DWORD byMsi = 0;
    RegReadDword(HKEY_LOCAL_MACHINE, kProductKey, "InstallByMsi", &byMsi);
    if (!byMsi) {
        carrier->offset = pack::kSetupExeOffset;
        return HoldOwnProgram(carrier->path, sizeof carrier->path, &carrier->file);
    }

    SetupLog("msi install.");
    char source[MAX_PATH] = {0};
    ReadPackageSource(source, sizeof source);
    char programPath[MAX_PATH];
    ScopedHandle program;
    if (!HoldOwnProgram(programPath, sizeof programPath, &program) ||
        !HoldPackageCarrier(program.Get(), programPath, source, carrier->path, &carrier->file))
        return 0;
    carrier->offset = pack::kMsiCopyOffset;
    return 1;
}
