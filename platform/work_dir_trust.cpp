#include "platform/work_dir_trust.h"

#include <stddef.h>
#include <stdio.h>

#include "platform/delete_tree.h"
#include "platform/exists.h"
#include "platform/handle.h"
#include "platform/join_path.h"

namespace {

const char kAsideSuffix[] = ".untrusted";

// Gives everything below dir the protected descriptor, each object through its
// own handle. False at the first object that is not a real directory or a
// plain file with one name, or that cannot be secured.
bool SecureTreeBelow(const char* dir) {
    char search[MAX_PATH];
    if (!JoinPath(search, sizeof search, dir, "*")) return false;
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA(search, &found));
    if (!find.Valid()) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        if (IsDotOrDotDot(found.cFileName)) continue;
        char path[MAX_PATH];
        if (!JoinPath(path, sizeof path, dir, found.cFileName)) return false;
        ObjectKind kind;
        // No delete sharing: a directory stays in place while its tree is done.
        ScopedHandle object(OpenNamedObject(path, READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, &kind));
        if (kind != kObjectDirectory && kind != kObjectFile) return false;
        if (!g_applyProtectedSecurity(object.Get(), path)) return false;
        if (kind == kObjectDirectory && !SecureTreeBelow(path)) return false;
    } while (FindNextFileA(find.Get(), &found));
    return GetLastError() == ERROR_NO_MORE_FILES;
}

} // namespace

int MayUseTmp(ObjectKind kind, OwnerKind owner) {
    return kind == kObjectDirectory ||
           ((kind == kObjectLink || kind == kObjectElsewhere) && owner == kOwnerAdministrators);
}

int MayKeepWorkDir(ObjectKind kind, OwnerKind owner) {
    return kind == kObjectDirectory && owner == kOwnerAdministrators;
}

int MakeWorkDirTrustworthy(HANDLE dir, const char* path, int emptyIt) {
    char files[MAX_PATH];
    if (!JoinPath(files, sizeof files, path, "*")) return 0;
    // The directory first: from then on no ordinary user can add to it.
    if (!g_applyProtectedSecurity(dir, path)) return 0;
    if (emptyIt) {
        DeleteMatchingFiles(path, "*.*");
        // What could not go (in use, a link, a second name) would be used as
        // it is by the unpack.
        if (FileExists(files)) return 0;
    }
    return SecureTreeBelow(path);
}

// The rename record reaches the file system as it is laid out here: a handle
// (4 bytes on the i686 build that ships, 8 on x86_64) before the name's length.
static_assert(offsetof(FILE_RENAME_INFO, FileNameLength) == (sizeof(void*) == 4 ? 8 : 16), "FILE_RENAME_INFO");
static_assert(offsetof(FILE_RENAME_INFO, FileName) == (sizeof(void*) == 4 ? 12 : 20), "FILE_RENAME_INFO.FileName");

int MoveAside(const char* path) {
    ObjectKind kind;
    ScopedHandle object(OpenNamedObject(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE, &kind));
    if (kind == kObjectMissing) return 1;
    if (kind == kObjectElsewhere || kind == kObjectUnavailable) return 0;
    char aside[MAX_PATH];
    int n = snprintf(aside, sizeof aside, "\\??\\%s%s%u", path, kAsideSuffix, (unsigned)GetTickCount());
    if (n < 0 || (size_t)n >= sizeof aside) return 0;
    // Renamed through the handle that was judged: by its name alone, a link
    // that the platform follows would have what it leads to renamed.
    union {
        FILE_RENAME_INFO info;
        char bytes[sizeof(FILE_RENAME_INFO) + MAX_PATH * sizeof(WCHAR)];
    } rename = {};
    int chars = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, aside, -1, rename.info.FileName, MAX_PATH);
    if (chars <= 1) return 0;
    rename.info.FileNameLength = (DWORD)(chars - 1) * sizeof(WCHAR);
    return SetFileInformationByHandle(object.Get(), FileRenameInfo, &rename, sizeof rename) ? 1 : 0;
}

void RemoveMovedAside(const char* parent, const char* path) {
    char search[MAX_PATH];
    int n = snprintf(search, sizeof search, "%s%s*", path, kAsideSuffix);
    if (n < 0 || (size_t)n >= sizeof search) return;
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA(search, &found));
    if (!find.Valid()) return;
    do {
        char aside[MAX_PATH];
        if (JoinPath(aside, sizeof aside, parent, found.cFileName)) DeleteEntry(aside);
    } while (FindNextFileA(find.Get(), &found));
}
