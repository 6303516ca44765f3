// Where the client keeps the backups of its customisation files and the
// customer's icon: the system32 folder of the Windows directory.
#pragma once
#include <stddef.h>

// Writes "<Windows directory>\system32\<name>" into out. The Windows directory
// comes from the system (GetSystemWindowsDirectoryA), never from %SystemRoot%:
// the elevated setup inherits the environment of the user who started it, and
// a backup taken from a folder of theirs would pass its check. (A 32-bit setup
// on 64-bit Windows reaches SysWOW64 by this name, as it always has.)
// Returns 1, or 0 (out emptied) when there is none or the path does not fit.
int JoinBackupPath(char* out, size_t size, const char* name);
