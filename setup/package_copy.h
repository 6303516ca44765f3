// The local copy of the installer package, "KivraSetup.msi" beside Setup.exe,
// that a client installed from the package is upgraded from. Setup.exe
// usually runs from a user's Downloads folder, where any file is simply the
// user's; the programs of the copy's payload run elevated. So a copy found
// there is used only when nobody but an administrator could have made or
// changed it, and it is then held open, denying writes and deletion, until
// the unpack has read it. A copy this setup makes is made so: owned by
// Administrators, writable by them and SYSTEM only, and held from its creation.
#pragma once
#include <stddef.h>
#include <windows.h>

#include "platform/handle.h"
#include "platform/trust_facts.h"

extern const char kPackageCopyName[]; // "KivraSetup.msi"

// 1 when a copy with these facts may be used: a plain file with one name,
// owned by Administrators or SYSTEM, whose DACL lets no one else change it.
// A copy that the starting user made or left writable is not, whoever that
// user is (the unelevated half of this administrator's session included).
// The package's registered source, where it lies on this machine, is judged
// by the same rule (package_source.h).
int IsTrustedPackageCopy(const TrustFacts& copy);

// What HoldPackageCopy found.
enum PackageCopyState {
    kCopyMissing,   // no object of that name
    kCopyUntrusted, // something is there, but it may not be used
    kCopyTrusted,   // held in *copy
};

// Opens the copy in the held folder dir (whose real path is dirPath) and
// judges it; a trusted copy is held in *copy, for reading, sharing neither
// writing nor deletion.
PackageCopyState HoldPackageCopy(HANDLE dir, const char* dirPath, ScopedHandle* copy);

// Replaces whatever is at the copy's name in dir by a new copy of what the
// held source holds from its current position on (HoldPackageSource), made
// with the protected descriptor and held in *copy from its creation. Returns
// 1, or 0 (nothing of the new copy left) when the old object cannot go or the
// source cannot be read to its end.
int MakePackageCopy(HANDLE dir, const char* dirPath, HANDLE source, ScopedHandle* copy);
