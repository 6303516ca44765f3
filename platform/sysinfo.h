// System information: the system drive, free disk space, administrator rights.
#pragma once
#include <stddef.h>

// Puts the system drive letter alone ("C") into buffer. Returns 1, or 0 when the
// buffer is smaller than 260 bytes (logged under category) or the system
// directory cannot be had.
int GetSysDriveLetter(const char* category, char* buffer, unsigned size);

// Bytes available to the calling user on root (such as "C:"), or -1 on failure.
// Uses GetDiskFreeSpaceExA when kernel32 has it, else the cluster-based call.
long long GetDiskFreeBytes(const char* root);

// 1 when the process token's groups hold the built-in Administrators group,
// whatever its attributes (a filtered token's deny-only entry counts); else 0.
// Failures are logged through PlainLog under "IsCurUserAdmin".
int IsCurUserAdmin();
