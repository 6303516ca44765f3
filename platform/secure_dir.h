// The protected security descriptor and the owner test. The setup runs with
// administrator rights in places that ordinary users may write to (C:\tmp), so
// what it keeps or makes there must not stay writable for them.
#pragma once
#include <windows.h>

// Creates path with the protected security descriptor: owner Administrators,
// full control for Administrators and SYSTEM, read and execute for Users,
// inherited by everything below, nothing inherited from the parent. Returns 1,
// or 0.
int CreateProtectedDirectory(const char* path);

// The descriptor CreateProtectedDirectory applies (LocalFree it), or null.
PSECURITY_DESCRIPTOR NewProtectedDirectorySecurity();

// Gives an object opened with WRITE_DAC and WRITE_OWNER the protected
// descriptor, owner included. path only names it. Returns 1, or 0.
int ApplyProtectedSecurity(HANDLE object, const char* path);

// How the descriptor is applied. Wine keeps no descriptor of its own (it reads
// one back made from the Unix mode), so tests replace this to record what got
// the descriptor.
extern int (*g_applyProtectedSecurity)(HANDLE object, const char* path);

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
