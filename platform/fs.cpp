#include "platform/fs.h"

#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "platform/handle.h"
#include "platform/secure_dir.h"

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

bool IsDotOrDotDot(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

// Removes a junction or directory symbolic link itself, never what it points to.
int RemoveLink(const char* path) {
    if (RemoveDirectoryA(path)) return 1;
    return DeleteFileA(path) ? 1 : 0;
}

bool IsReparsePoint(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

} // namespace

int FileExists(const char* path) { return AnyEntryMatching(path, false); }

int DirExists(const char* path) { return AnyEntryMatching(path, true); }

int ReadExactly(HANDLE file, void* out, DWORD size) {
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!ReadFile(file, (char*)out + total, size - total, &got, nullptr) || got == 0) return 0;
        total += got;
    }
    return 1;
}

int JoinPath(char* out, size_t size, const char* dir, const char* name) {
    if (!out || size == 0) return 0;
    int n = snprintf(out, size, "%s\\%s", dir ? dir : "", name ? name : "");
    if (n < 0 || (size_t)n >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

namespace {

// Removes whatever stands at path, a link as a link. A real directory that
// cannot be removed whole (a file in use) is renamed aside; a link never is,
// since some platforms rename what it points to. Returns whether the name is
// free now.
bool ClearAway(const char* path) {
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (IsReparsePoint(attributes)) return RemoveLink(path) && !Exists(path);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteDirTree(path);
    } else {
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    }
    if (!Exists(path)) return true;
    char aside[MAX_PATH];
    int n = snprintf(aside, sizeof aside, "%s.untrusted%u", path, (unsigned)GetTickCount());
    return n > 0 && (size_t)n < sizeof aside && MoveFileExA(path, aside, 0) && !Exists(path);
}

} // namespace

int CreateWorkDir(char* buffer, size_t size, const char* prefix, int tick, int emptyIt, HANDLE* held) {
    char system[MAX_PATH + 1];
    UINT len = GetSystemDirectoryA(system, sizeof system);
    if (len < 1 || len > MAX_PATH) return 0;
    char tmp[8];
    snprintf(tmp, sizeof tmp, "%c:\\tmp", system[0]);
    if (!DirExists(tmp) && !CreateProtectedDirectory(tmp)) return 0;

    char path[MAX_PATH];
    int n = snprintf(path, sizeof path, "%s\\%s%u", tmp, prefix ? prefix : "",
                     tick ? (unsigned)GetTickCount() : 0u);
    if (n < 0 || (size_t)n >= sizeof path || !buffer || (size_t)n >= size) return 0;

    // A directory that a user made first, or a link put in its place, could be
    // changed under the elevated setup: it is used only when it can be trusted.
    // The name is looked at too: some platforms (Wine) open what a link points
    // to even when asked for the link itself.
    ScopedHandle hold(OpenDirectoryHeld(path));
    if (hold.Valid() && !IsReparsePoint(GetFileAttributesA(path)) && IsTrustedDirectory(hold.Get())) {
        if (emptyIt) DeleteMatchingFiles(path, "*.*");
    } else {
        hold.Reset();
        if (!ClearAway(path) || !CreateProtectedDirectory(path)) return 0;
        hold.Reset(OpenDirectoryHeld(path));
        if (IsReparsePoint(GetFileAttributesA(path)) || !IsDirectoryJustMade(hold.Get())) return 0;
    }
    memcpy(buffer, path, (size_t)n + 1);
    if (held) *held = hold.Release();
    return 1;
}

void DeleteMatchingFiles(const char* dir, const char* pattern) {
    char search[MAX_PATH];
    if (!JoinPath(search, sizeof search, dir, pattern)) return;
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA(search, &found));
    if (!find.Valid()) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        char path[MAX_PATH];
        if (!JoinPath(path, sizeof path, dir, found.cFileName)) continue;
        SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path);
    } while (FindNextFileA(find.Get(), &found));
}

int DeleteDirTree(const char* dir) {
    if (!DirExists(dir)) return 1;
    if (IsReparsePoint(GetFileAttributesA(dir))) return RemoveLink(dir);
    DeleteMatchingFiles(dir, "*.*");
    DeleteSubDirTrees(dir);
    SetFileAttributesA(dir, FILE_ATTRIBUTE_NORMAL);
    return RemoveDirectoryA(dir) ? 1 : 0;
}

void DeleteSubDirTrees(const char* dir) {
    char search[MAX_PATH];
    if (!JoinPath(search, sizeof search, dir, "*")) return;
    WIN32_FIND_DATAA found;
    ScopedFind find(FindFirstFileA(search, &found));
    if (!find.Valid()) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || IsDotOrDotDot(found.cFileName))
            continue;
        char path[MAX_PATH];
        if (!JoinPath(path, sizeof path, dir, found.cFileName)) continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
            RemoveLink(path);
        else
            DeleteDirTree(path);
    } while (FindNextFileA(find.Get(), &found));
}

void DeleteDirFlat(const char* dir) {
    if (!DirExists(dir)) return;
    if (IsReparsePoint(GetFileAttributesA(dir))) {
        RemoveLink(dir);
        return;
    }
    DeleteMatchingFiles(dir, "*.*");
    RemoveDirectoryA(dir);
}
