// When the elevated setup may use a work directory that it finds in C:\tmp, and
// what it does to one that it may not. Ordinary users may write to C:\tmp: a
// directory that one of them made first, or left writable, could have its
// programs swapped between the unpack and their elevated start.
#pragma once
#include <windows.h>

#include "platform/named_object.h"

// 1 when a directory found there may be kept: a real directory owned by
// Administrators or SYSTEM (one that an earlier setup made).
int MayKeepWorkDir(HANDLE dir, ObjectKind kind);

// 1 when the directory just created there is the setup's own: a real
// directory owned by Administrators, SYSTEM or this process's user (Wine keeps
// no owner and reports the creator's user).
int IsWorkDirJustMade(HANDLE dir, ObjectKind kind);

// Makes a kept work directory trustworthy before anything is unpacked: with
// emptyIt, the files directly in it are deleted; then the protected
// descriptor goes on the directory and on everything that stays below it.
// Returns 0 when something in it cannot be made trustworthy (a file that
// stays, a link or a second file name anywhere in the tree): it must then not
// be used.
int MakeWorkDirTrustworthy(HANDLE dir, const char* path, int emptyIt);

// Renames whatever is at path to "<path>.untrusted<tick>", through its own
// handle and never what a link leads to, freeing the name at once;
// RemoveMovedAside deletes it later. Returns 1 when the name is free.
int MoveAside(const char* path);

// Deletes every "<path>.untrusted*", of this run and of earlier ones, without
// following links. parent is the folder that holds path.
void RemoveMovedAside(const char* parent, const char* path);
