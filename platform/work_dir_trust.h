// When the elevated setup may use a work directory that it finds in C:\tmp, and
// what it does to one that it may not. Ordinary users may write to C:\tmp: a
// directory that one of them made first, or left writable, could have its
// programs swapped between the unpack and their elevated start.
#pragma once
#include <windows.h>

#include "platform/trust_facts.h"

// 1 when \tmp may hold the work directory: a real directory (whoever made it:
// ordinary users may make C:\tmp; the work directory below it is made
// protected and held), or a link that only Administrators and SYSTEM control
// (an administrator put \tmp on another volume). A link that someone else may
// delete, rewrite or re-point would steer where the elevated setup unpacks and
// runs programs; so would one made at the drive's root and left as made,
// since Authenticated Users may modify what an administrator makes there.
int MayUseTmp(const TrustFacts& tmp);

// 1 when a work directory found there may be kept: a real directory that only
// Administrators and SYSTEM control, as an earlier setup leaves it. One that
// this process's own user owns is no exception (that is the unelevated half
// of the session), and neither is one owned by Administrators whose DACL lets
// others change it, such as a folder an elevated program made at the root:
// whoever could write to it may have left sub-folders and open handles in it.
int MayKeepWorkDir(const TrustFacts& dir);

// Makes a kept work directory trustworthy before anything is unpacked: the
// protected descriptor goes on the directory first, so that from then on no
// ordinary user can add to it or change it; with emptyIt, the files directly
// in it are deleted; then everything that stays below it gets the descriptor.
// Returns 0 when something in it cannot be made trustworthy (a file that
// stays, a link or a second file name anywhere in the tree, or an object that
// someone other than Administrators and SYSTEM owns or may change, and so may
// hold open): it must then not be used.
int MakeWorkDirTrustworthy(HANDLE dir, const char* path, int emptyIt);

// Renames whatever is at path to "<path>.untrusted<tick>", through its own
// handle and never what a link leads to, freeing the name at once;
// RemoveMovedAside deletes it later. Returns 1 when the name is free.
int MoveAside(const char* path);

// Deletes every "<path>.untrusted*", of this run and of earlier ones, without
// following links. parent is the folder that holds path.
void RemoveMovedAside(const char* parent, const char* path);
