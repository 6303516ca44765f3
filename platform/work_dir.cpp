#include "platform/work_dir.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "log/log.h"
#include "platform/join_path.h"
#include "platform/named_object.h"
#include "platform/secure_dir.h"
#include "platform/system_dir.h"
#include "platform/work_dir_trust.h"

namespace {

const DWORD kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE; // never FILE_SHARE_DELETE

// Opens and holds tmp; real receives where it really is. False when it cannot
// be made or is a link that no administrator made.
bool HoldTmp(const char* tmp, HeldWorkDir* held, char* real, size_t size) {
    const DWORD access = FILE_READ_ATTRIBUTES | READ_CONTROL;
    ObjectKind kind;
    held->tmp.Reset(OpenNamedObject(tmp, access, kHoldShare, &kind));
    if (kind == kObjectMissing) {
        if (!CreateProtectedDirectory(tmp)) return false;
        held->tmp.Reset(OpenNamedObject(tmp, access, kHoldShare, &kind));
    }
    if (kind == kObjectDirectory) {
        int n = snprintf(real, size, "%s", tmp);
        return n > 0 && (size_t)n < size;
    }
    if (kind != kObjectLink && kind != kObjectElsewhere) return false;
    // An administrator may have put \tmp on another volume; a user's link
    // would steer where the elevated setup unpacks and runs programs.
    if (g_getDirectoryOwner(held->tmp.Get()) != kOwnerAdministrators) {
        SetupLogF("CreateWorkDir: %s is a link that is not owned by Administrators or SYSTEM.", tmp);
        return false;
    }
    held->tmpTarget.Reset(CreateFileA(tmp, access, kHoldShare, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return held->tmpTarget.Valid() && GetFileInformationByHandle(held->tmpTarget.Get(), &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && FinalPathOf(held->tmpTarget.Get(), real, size);
}

// Opens the work directory at path and keeps, or replaces, what is there; dir
// receives the held handle. False when no trustworthy directory can be had.
bool HoldWorkDir(const char* path, int emptyIt, ScopedHandle* dir) {
    // No delete access: held with it, the directory could not be listed (Wine
    // lists without delete sharing).
    const DWORD access = READ_CONTROL | WRITE_DAC | WRITE_OWNER;
    ObjectKind kind;
    dir->Reset(OpenNamedObject(path, access, kHoldShare, &kind));
    if (kind == kObjectElsewhere) {
        // Windows opens a link as itself, so this is a platform (Wine) that
        // follows it even when asked not to: it could neither be renamed nor
        // removed without touching what it leads to.
        SetupLogF("CreateWorkDir: %s leads elsewhere; it is left as it is.", path);
        return false;
    }
    if (kind == kObjectUnavailable) return false;
    if (kind != kObjectMissing) {
        if (MayKeepWorkDir(dir->Get(), kind) && MakeWorkDirTrustworthy(dir->Get(), path, emptyIt))
            return true;
        dir->Reset();
        if (!MoveAside(path)) return false;
    }
    if (!CreateProtectedDirectory(path)) return false;
    dir->Reset(OpenNamedObject(path, access, kHoldShare, &kind));
    return IsWorkDirJustMade(dir->Get(), kind);
}

} // namespace

int CreateWorkDir(char* buffer, size_t size, const char* prefix, int tick, int emptyIt, HeldWorkDir* held) {
    char system[MAX_PATH + 1];
    if (!GetSystemDir(system, sizeof system)) return 0;
    char tmp[8];
    snprintf(tmp, sizeof tmp, "%c:\\tmp", system[0]);

    // Where \tmp is a link that an administrator made, the work directory is
    // named by where it really is: every object below it is judged against
    // that path.
    HeldWorkDir hold;
    char realTmp[MAX_PATH], name[MAX_PATH], path[MAX_PATH];
    int n = snprintf(name, sizeof name, "%s%u", prefix ? prefix : "", tick ? (unsigned)GetTickCount() : 0u);
    if (n < 0 || (size_t)n >= sizeof name || !buffer || !HoldTmp(tmp, &hold, realTmp, sizeof realTmp) ||
        !JoinPath(path, sizeof path, realTmp, name) || strlen(path) >= size ||
        !HoldWorkDir(path, emptyIt, &hold.dir))
        return 0;
    RemoveMovedAside(realTmp, path);

    memcpy(buffer, path, strlen(path) + 1);
    if (held) {
        held->tmp.Reset(hold.tmp.Release());
        held->tmpTarget.Reset(hold.tmpTarget.Release());
        held->dir.Reset(hold.dir.Release());
    }
    return 1;
}
