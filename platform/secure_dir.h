// Directories the elevated setup can trust. It runs with administrator rights
// in places that ordinary users may write to (C:\tmp), so a directory that a
// user made first, or a link planted in its place, must not be used.
#pragma once
#include <windows.h>

// Creates path with a protected security descriptor: owner Administrators, full
// control for Administrators and SYSTEM, read and execute for Users, inherited
// by everything below, nothing inherited from the parent. Returns 1, or 0.
int CreateProtectedDirectory(const char* path);

// The descriptor CreateProtectedDirectory applies (LocalFree it), or null.
PSECURITY_DESCRIPTOR NewProtectedDirectorySecurity();

// Opens the directory itself (never what a link points to) so that it can be
// neither renamed nor removed while the handle is open. INVALID_HANDLE_VALUE
// on failure.
HANDLE OpenDirectoryHeld(const char* path);

// Who owns an open file or directory.
enum DirectoryOwner {
    kOwnerOther = 0,
    kOwnerAdministrators = 1, // the Administrators group or SYSTEM
    kOwnerThisUser = 2,       // the user of this process's token
};
DirectoryOwner GetDirectoryOwner(HANDLE dir);

// How the owner is learnt. Wine stores no owner of its own and reports every
// file as the current user's, so tests replace this to stand for a directory
// that an administrator made.
extern DirectoryOwner (*g_getDirectoryOwner)(HANDLE dir);

// 1 when the open directory is a real directory (no junction or symbolic link)
// owned by Administrators or SYSTEM: one that was there before may be used.
int IsTrustedDirectory(HANDLE dir);

// 1 when the open directory is a real directory owned by Administrators,
// SYSTEM or this process's user: what the setup finds right after creating a
// directory itself (a protected directory's owner is Administrators; where the
// platform keeps no owner, as under Wine, the creator's user).
int IsDirectoryJustMade(HANDLE dir);
