#include "platform/work_dir.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "log/log.h"
#include "platform/join_path.h"
#include "platform/named_object.h"
#include "platform/open_relative.h"
#include "platform/secure_dir.h"
#include "platform/system_dir.h"
#include "platform/trust_facts.h"
#include "platform/work_dir_trust.h"

namespace {

const DWORD kHoldShare = FILE_SHARE_READ | FILE_SHARE_WRITE; // never FILE_SHARE_DELETE

// Makes dir\name (dir null: name is a drive path) as a directory with the
// protected descriptor and opens it, in one call: there is no moment in which
// the new directory has another descriptor, or another directory its name.
HANDLE MakeProtectedDirectory(HANDLE dir, const char* name, DWORD access) {
    PSECURITY_DESCRIPTOR descriptor = NewProtectedDirectorySecurity();
    if (!descriptor) return INVALID_HANDLE_VALUE;
    HANDLE made = OpenRelative(dir, name, access, kHoldShare, kCreateNew, kDirectoryOnly, descriptor);
    LocalFree(descriptor);
    return made;
}

// Opens and holds tmp; real receives where it really is. False when it cannot
// be made or is a link that others than Administrators and SYSTEM own or may
// change (logged with the line that klog knows, which names the owner alone).
bool HoldTmp(const char* tmp, HeldWorkDir* held, char* real, size_t size) {
    const DWORD access = FILE_READ_ATTRIBUTES | READ_CONTROL;
    ObjectKind kind;
    held->tmp.Reset(OpenNamedObject(tmp, access, kHoldShare, &kind));
    if (kind == kObjectMissing) {
        held->tmp.Reset(MakeProtectedDirectory(nullptr, tmp, access));
        if (held->tmp.Valid())
            kind = kObjectDirectory;
        else // someone else made it meanwhile: judged like any other
            held->tmp.Reset(OpenNamedObject(tmp, access, kHoldShare, &kind));
    }
    if (!MayUseTmp(ReadTrustFacts(held->tmp.Get(), kind))) {
        if (kind == kObjectLink || kind == kObjectElsewhere)
            SetupLogF("CreateWorkDir: %s is a link that is not owned by Administrators or SYSTEM.", tmp);
        return false;
    }
    if (kind == kObjectDirectory) {
        int n = snprintf(real, size, "%s", tmp);
        return n > 0 && (size_t)n < size;
    }
    // The work directory lies where the administrator's link leads.
    held->tmpTarget.Reset(CreateFileA(tmp, access, kHoldShare, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    return held->tmpTarget.Valid() && GetFileInformationByHandle(held->tmpTarget.Get(), &info) &&
           (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && FinalPathOf(held->tmpTarget.Get(), real, size);
}

// Opens the work directory name in the held tmp (path is where that is) and
// keeps, or replaces, what is there; dir receives the held handle. False when
// no trustworthy directory can be had.
bool HoldWorkDir(HANDLE tmp, const char* name, const char* path, int emptyIt, ScopedHandle* dir) {
    // No delete access: held with it, the directory could not be listed (Wine
    // lists without delete sharing).
    const DWORD access = READ_CONTROL | WRITE_DAC | WRITE_OWNER | FILE_READ_ATTRIBUTES;
    ObjectKind kind;
    dir->Reset(OpenNamedObjectIn(tmp, name, path, access, kHoldShare, &kind));
    if (kind == kObjectElsewhere) {
        // Windows opens a link as itself, so this is a platform (Wine) that
        // follows it even when asked not to: it could neither be renamed nor
        // removed without touching what it leads to.
        SetupLogF("CreateWorkDir: %s leads elsewhere; it is left as it is.", path);
        return false;
    }
    if (kind == kObjectUnavailable) return false;
    if (kind != kObjectMissing) {
        if (MayKeepWorkDir(ReadTrustFacts(dir->Get(), kind)) && MakeWorkDirTrustworthy(dir->Get(), path, emptyIt))
            return true;
        dir->Reset();
        if (!MoveAside(path)) return false;
    }
    dir->Reset(MakeProtectedDirectory(tmp, name, access));
    return dir->Valid();
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
        !JoinPath(path, sizeof path, realTmp, name) || strlen(path) >= size)
        return 0;
    HANDLE parent = hold.tmpTarget.Valid() ? hold.tmpTarget.Get() : hold.tmp.Get();
    if (!HoldWorkDir(parent, name, path, emptyIt, &hold.dir)) return 0;
    RemoveMovedAside(realTmp, path);

    memcpy(buffer, path, strlen(path) + 1);
    if (held) {
        held->tmp.Reset(hold.tmp.Release());
        held->tmpTarget.Reset(hold.tmpTarget.Release());
        held->dir.Reset(hold.dir.Release());
    }
    return 1;
}
