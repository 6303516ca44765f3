// The protected security descriptor, and what the setup reads of an object's
// own descriptor: who owns it and whether others may change it. The setup runs
// with administrator rights in places that ordinary users may write to
// (C:\tmp, the folder Setup.exe was started from), so what it keeps or makes
// there must not stay writable for them, and what it finds there is trusted
// only when no one but an administrator could have made or changed it.
#pragma once
#include <windows.h>

// Creates path with the protected descriptor below. Returns 1, or 0.
int CreateProtectedDirectory(const char* path);

// The protected descriptor for a directory (LocalFree it), or null: owner
// Administrators, full control for Administrators and SYSTEM, read and
// execute for Users, inherited by everything below, nothing inherited from the
// parent.
PSECURITY_DESCRIPTOR NewProtectedDirectorySecurity();

// The same for a single file: nothing to hand down.
PSECURITY_DESCRIPTOR NewProtectedFileSecurity();

// Gives an object opened with WRITE_DAC and WRITE_OWNER the protected
// descriptor, owner included. path only names it. Returns 1, or 0.
int ApplyProtectedSecurity(HANDLE object, const char* path);

// How the descriptor is applied. Wine keeps no descriptor of its own (it reads
// one back made from the Unix mode), so tests replace this to record what got
// the descriptor.
extern int (*g_applyProtectedSecurity)(HANDLE object, const char* path);

// Who owns an open file or directory. On Windows an object made by any
// ordinary process, the unelevated half of an administrator's own session
// included, is owned by that user: only an elevated administrator or the
// system gives Administrators or SYSTEM.
enum OwnerKind {
    kOwnerOther = 0,
    kOwnerAdministrators = 1, // the Administrators group or SYSTEM
};
OwnerKind GetOwnerKind(HANDLE object);

// The kind of an owner SID: only the two well-known SIDs count, never this
// process's own user (the same SID as the unelevated half's).
OwnerKind OwnerKindOf(PSID owner);

// How the owner is learnt. Wine stores no owner of its own and reports every
// file as the current user's, so tests replace this to stand for an object
// that an administrator made.
extern OwnerKind (*g_getOwnerKind)(HANDLE object);

// 1 when dacl lets anyone but Administrators and SYSTEM write, append,
// delete, or change attributes, the descriptor or the owner of the object it
// guards (a missing DACL lets everyone). Inherit-only entries do not count:
// they guard only what is made below. Every other allowing entry counts
// unless its SID is Administrators or SYSTEM: CREATOR OWNER too (Windows
// hands an inheritable one down as the maker's SID; one on the object itself
// is in no descriptor this setup makes), and OWNER RIGHTS (the owner,
// whoever that becomes). Denials are not weighed.
int DaclLetsOthersChange(const ACL* dacl);

// The same for an open object's own DACL (opened with READ_CONTROL); 1 too
// when it cannot be read.
int OthersMayChange(HANDLE object);

// How an object's DACL is judged: OthersMayChange, replaced only by tests.
// Wine keeps no DACL of its own and reads back one that lets the current user
// change everything, so tests stand for an object an administrator made.
extern int (*g_othersMayChange)(HANDLE object);
