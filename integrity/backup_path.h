// Where the client keeps the backups of its customisation files and the
// customer's icon: the system directory named by %SystemRoot%.
#pragma once
#include <stddef.h>

// Writes "<SystemRoot>\system32\<name>" into out. Returns 1, or 0 (out emptied)
// when SystemRoot is unset or the path does not fit.
int JoinBackupPath(char* out, size_t size, const char* name);
