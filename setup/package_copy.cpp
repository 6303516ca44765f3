#include "setup/package_copy.h"

#include <stdlib.h>

#include "platform/join_path.h"
#include "platform/open_relative.h"

const char kPackageCopyName[] = "KivraSetup.msi";
int (*g_othersMayChange)(HANDLE object) = OthersMayChange;

namespace {

// Copies the whole of source into copy. False when source cannot be opened or
// read to its end, or copy cannot take it.
bool CopyContents(const char* source, HANDLE copy) {
    ScopedHandle from(CreateFileA(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const DWORD chunk = 64 * 1024;
    char* buffer = (char*)malloc(chunk);
    bool copied = from.Valid() && buffer;
    for (DWORD got = 0; copied;) {
        DWORD written = 0;
        copied = ReadFile(from.Get(), buffer, chunk, &got, nullptr) != 0;
        if (!copied || got == 0) break;
        copied = WriteFile(copy, buffer, got, &written, nullptr) && written == got;
    }
    free(buffer);
    return copied;
}

} // namespace

int IsTrustedPackageCopy(ObjectKind kind, OwnerKind owner, int othersMayChange) {
    return kind == kObjectFile && owner == kOwnerAdministrators && !othersMayChange;
}

PackageCopyState HoldPackageCopy(HANDLE dir, const char* dirPath, ScopedHandle* copy) {
    char path[MAX_PATH];
    if (!JoinPath(path, sizeof path, dirPath, kPackageCopyName)) return kCopyUntrusted;
    // Read sharing only: from here on nobody writes to it or renames it away.
    ObjectKind kind;
    ScopedHandle held(OpenNamedObjectIn(dir, kPackageCopyName, path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                        &kind));
    if (kind == kObjectMissing) return kCopyMissing;
    if (!held.Valid() ||
        !IsTrustedPackageCopy(kind, g_getOwnerKind(held.Get()), g_othersMayChange(held.Get())))
        return kCopyUntrusted;
    copy->Reset(held.Release());
    return kCopyTrusted;
}

int MakePackageCopy(HANDLE dir, const char* dirPath, const char* source, ScopedHandle* copy) {
    char path[MAX_PATH];
    if (!JoinPath(path, sizeof path, dirPath, kPackageCopyName)) return 0;
    {
        // What is there goes as itself: a link as a link, never what it leads to.
        ObjectKind kind;
        ScopedHandle old(OpenNamedObjectIn(dir, kPackageCopyName, path, DELETE | FILE_WRITE_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &kind));
        if (kind == kObjectFile || kind == kObjectLink) RemoveOpenObject(old.Get());
    }
    PSECURITY_DESCRIPTOR descriptor = NewProtectedFileSecurity();
    if (!descriptor) return 0;
    ScopedHandle made(OpenRelative(dir, kPackageCopyName, GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ,
                                   kCreateNew, kFileOnly, descriptor));
    LocalFree(descriptor);
    if (!made.Valid()) return 0;
    if (!CopyContents(source, made.Get())) {
        RemoveOpenObject(made.Get());
        return 0;
    }
    copy->Reset(made.Release());
    return 1;
}
