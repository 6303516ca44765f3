#include "platform/delete_tree.h"

#include <windows.h>

#include "platform/exists.h"
#include "platform/handle.h"
#include "platform/join_path.h"
#include "platform/named_object.h"

namespace {

enum Reach {
    kNonDirectory, // a file or a link; a directory stays
    kDirFlat,      // with a directory: its files, then the directory if now empty
    kDirTree,      // with a directory: everything below it, then the directory
};

// Deletes the object at path through its own handle when it is a file, a link
// (as itself) or, with dirs, an empty directory. Returns 1 when it is gone or
// was not there.
int RemoveItself(const char* path, bool dirs) {
    ObjectKind kind;
    ScopedHandle object(OpenNamedObject(path, DELETE | FILE_WRITE_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, &kind));
    if (kind == kObjectMissing) return 1;
    if (kind == kObjectFile || kind == kObjectLink || (dirs && kind == kObjectDirectory))
        return RemoveOpenObject(object.Get());
    return 0; // in use, or leads elsewhere: left as it is
}

// Removes the object at path as far as reach goes. Returns 1 when it is gone or
// was not there.
int RemoveEntry(const char* path, Reach reach) {
    if (reach != kNonDirectory) {
        // Held while it is emptied, sharing no deletion: nobody can rename it
        // away and put a link in its place meanwhile. The handle asks for no
        // delete access itself, which would keep the listing below from
        // opening the directory (Wine lists without delete sharing).
        ObjectKind kind;
        ScopedHandle held(OpenNamedObject(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, &kind));
        if (kind == kObjectDirectory) {
            DeleteMatchingFiles(path, "*.*");
            if (reach == kDirTree) DeleteSubDirTrees(path);
        }
    }
    return RemoveItself(path, reach != kNonDirectory);
}

} // namespace

void DeleteMatchingFiles(const char* dir, const char* pattern) {
    char search[MAX_PATH];
    if (!JoinPath(search, sizeof search, dir, pattern)) return;
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA(search, &found));
    if (!find.Valid()) return;
    do {
        char path[MAX_PATH];
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            JoinPath(path, sizeof path, dir, found.cFileName))
            RemoveEntry(path, kNonDirectory);
    } while (FindNextFileA(find.Get(), &found));
}

int DeleteDirTree(const char* dir) { return DirExists(dir) ? RemoveEntry(dir, kDirTree) : 1; }

void DeleteSubDirTrees(const char* dir) {
    char search[MAX_PATH];
    if (!JoinPath(search, sizeof search, dir, "*")) return;
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA(search, &found));
    if (!find.Valid()) return;
    do {
        char path[MAX_PATH];
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDotOrDotDot(found.cFileName) &&
            JoinPath(path, sizeof path, dir, found.cFileName))
            RemoveEntry(path, kDirTree);
    } while (FindNextFileA(find.Get(), &found));
}

void DeleteDirFlat(const char* dir) {
    if (DirExists(dir)) RemoveEntry(dir, kDirFlat);
}

int DeleteEntry(const char* path) { return RemoveEntry(path, kDirTree); }
