// File-system helpers. A path that names a directory is not a file and vice
// versa; FileExists and DirExists also take wildcard patterns.
//
// Deleting never descends into a reparse point (a junction or symbolic link):
// the setup runs with administrator rights inside directories that ordinary
// users may write to, so a planted link is removed as a link and its target is
// left alone.
#pragma once
#include <stddef.h>
#include <windows.h>

// 1 when some entry matching path is not a directory.
int FileExists(const char* path);
// 1 when some entry matching path is a directory.
int DirExists(const char* path);

// Reads exactly size bytes from the file's current position into out, however
// the reads come back. Returns 1, or 0 at an error or the end of the file.
int ReadExactly(HANDLE file, void* out, DWORD size);

// Writes "dir\name" into out. Returns 1, or 0 (out emptied) when it does not fit.
int JoinPath(char* out, size_t size, const char* dir, const char* name);

// Makes <system drive>:\tmp\<prefix><n> (n is the tick count when tick is set,
// else 0) and puts its path into buffer. An existing directory is kept only when
// it can be trusted (a real directory owned by Administrators or SYSTEM); with
// emptyIt set, the files directly in it are then deleted (sub-directories stay).
// Any other entry of that name is removed, a link as a link, and the directory
// made afresh. What the setup creates here (also \tmp itself) gets a protected
// security descriptor. With held given, *held receives a handle that keeps the
// directory from being renamed or removed until it is closed.
// Returns 1, or 0 when the path does not fit or no trustworthy directory can be
// had.
int CreateWorkDir(char* buffer, size_t size, const char* prefix, int tick, int emptyIt,
                  HANDLE* held = nullptr);

// Deletes every non-directory entry matching dir\pattern, read-only ones too.
// Failures are ignored.
void DeleteMatchingFiles(const char* dir, const char* pattern);

// Deletes dir with everything below it. Returns the removal's result, or 1 when
// there was nothing to delete.
int DeleteDirTree(const char* dir);

// Deletes every sub-directory tree of dir; dir and its files stay.
void DeleteSubDirTrees(const char* dir);

// Deletes the files directly in dir and then dir itself, which stays when it
// still holds a sub-directory.
void DeleteDirFlat(const char* dir);
