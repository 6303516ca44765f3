#include "setup/package_copy.h"

#include <stdlib.h>

#include "platform/join_path.h"
#include "platform/open_relative.h"

const char kPackageCopyName[] = "KivraSetup.msi";

namespace {

// Copies what source holds into copy. False when source cannot be read to its
// end, or copy cannot take it.
bool CopyContents(HANDLE source, HANDLE copy) {
    const DWORD chunk = 64 * 1024;
    char* buffer = (char*)malloc(chunk);
    bool copied = buffer != nullptr;
    for (DWORD got = 0; copied;) {
        DWORD written = 0;
        copied = ReadFile(source, buffer, chunk, &got, nullptr) != 0;
        if (!copied || got == 0) break;
        copied = WriteFile(copy, buffer, got, &written, nullptr) && written == got;
    }
    free(buffer);
    return copied;
}

} // namespace

int IsTrustedPackageCopy(const TrustFacts& copy) { return copy.kind == kObjectFile && OnlyAdministratorsControl(copy); }

PackageCopyState HoldPackageCopy(HANDLE dir, const char* dirPath, ScopedHandle* copy) {
    char path[MAX_PATH];
    if (!JoinPath(path, sizeof path, dirPath, kPackageCopyName)) return kCopyUntrusted;
    // Read sharing only: from here on nobody writes to it or renames it away.
    ObjectKind kind;
    ScopedHandle held(OpenNamedObjectIn(dir, kPackageCopyName, path, GENERIC_READ | READ_CONTROL, FILE_SHARE_READ,
                                        &kind));
    if (kind == kObjectMissing) return kCopyMissing;
    if (!IsTrustedPackageCopy(ReadTrustFacts(held.Get(), kind))) return kCopyUntrusted;
    copy->Reset(held.Release());
    return kCopyTrusted;
}

int MakePackageCopy(HANDLE dir, const char* dirPath, HANDLE source, ScopedHandle* copy) {
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
