#include "setup/package_source.h"

#include <string.h>

#include "platform/named_object.h"
#include "setup/package_copy.h"

namespace {

bool IsSlash(char c) { return c == '\\' || c == '/'; }

// Sharing reading only: from the decision on, nobody writes to the source or
// renames it away until the copy has read it.
const DWORD kHoldShare = FILE_SHARE_READ;

} // namespace

int IsSharePath(const char* path) {
    if (!path) return 0;
    if (IsSlash(path[0]) && IsSlash(path[1])) {
        // "\\?\" and "\\.\" lead to this machine's own devices and drives,
        // except the long form of a share's path.
        if ((path[2] == '?' || path[2] == '.') && IsSlash(path[3]))
            return _strnicmp(path + 4, "UNC", 3) == 0 && IsSlash(path[7]);
        return path[2] != '\0';
    }
    char root[4] = {path[0], ':', '\\', '\0'};
    return path[0] && path[1] == ':' && GetDriveTypeA(root) == DRIVE_REMOTE;
}

int HoldPackageSource(const char* path, ScopedHandle* source) {
    if (!path || !*path) return 0;
    if (IsSharePath(path)) {
        // Identification at most: a pipe server at the name can never act as
        // this (elevated) process.
        source->Reset(CreateFileA(path, GENERIC_READ, kHoldShare, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                  nullptr));
        return source->Valid();
    }
    // Measured against its own path: a link anywhere on the way, a second
    // name or a directory is not the file the registry names.
    ObjectKind kind;
    ScopedHandle held(OpenNamedObject(path, GENERIC_READ | READ_CONTROL, kHoldShare, &kind));
    if (!IsTrustedPackageCopy(ReadTrustFacts(held.Get(), kind))) return 0;
    source->Reset(held.Release());
    return 1;
}
