// What the elevated setup weighs before it keeps or uses an object that it
// finds where ordinary users may write (C:\tmp, the folder Setup.exe was
// started from, the package's registered source): what the object is, who
// owns it, and whether anyone but Administrators and SYSTEM may change it.
// All three are read from the open handle; the decisions are plain functions
// of them, so that tests feed them the facts a real Windows reports.
#pragma once
#include <windows.h>

#include "platform/named_object.h"
#include "platform/secure_dir.h"

struct TrustFacts {
    ObjectKind kind;
    OwnerKind owner;
    int othersMayChange; // DaclLetsOthersChange of its own DACL
};

// The facts of an object that was opened, with READ_CONTROL, as kind. The
// owner and the DACL come through g_getOwnerKind and g_othersMayChange; an
// object that is not open has neither.
TrustFacts ReadTrustFacts(HANDLE object, ObjectKind kind);

// 1 when nobody but an administrator or the system can have made or changed
// an object with these facts: owned by Administrators or SYSTEM, and a DACL
// that lets no one else write to it, delete it, or change its descriptor or
// owner. The kind is each caller's own rule.
int OnlyAdministratorsControl(const TrustFacts& facts);
