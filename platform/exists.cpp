#include "platform/exists.h"

#include <string.h>
#include <windows.h>

#include "platform/handle.h"

namespace {

// 1 when some entry matching path has (wantDir) or lacks (!wantDir) the
// directory attribute.
int AnyEntryMatching(const char* path, bool wantDir) {
    if (!path || !*path) return 0;
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA(path, &found));
    if (!find.Valid()) return 0;
    do {
        bool isDir = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isDir == wantDir) return 1;
    } while (FindNextFileA(find.Get(), &found));
    return 0;
}

} // namespace

int FileExists(const char* path) { return AnyEntryMatching(path, false); }

int DirExists(const char* path) { return AnyEntryMatching(path, true); }

int IsDotOrDotDot(const char* name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }
