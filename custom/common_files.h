// Where the installed client keeps its customisation files.
#pragma once
#include <windows.h>

// The common program files directory: the "CommonProgramFiles" variable, else
// "<system drive>:\Program Files\Common Files". Cached for the rest of the run
// after the first success; null when it cannot be found.
const char* utl_GetCommonProgramFiles();

// "<common program files>\Kivra\Nexa Client\reginfo" into out. Returns 1, or 0
// when there is no common program files directory or the path does not fit.
int GetRegInfoDir(char* out, size_t size);

// Forgets the cached directory (tests only).
void ResetCommonProgramFilesCache();
