// Where the installed client keeps its customisation files.
#pragma once
#include <windows.h>

// The common program files directory as the system records it: the value
// "CommonFilesDir" of HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion (in the
// process's registry view, so a 32-bit setup on 64-bit Windows gets
// "Program Files (x86)\Common Files", as its "CommonProgramFiles" variable
// says), else "<system drive>:\Program Files\Common Files". Never the
// environment: the elevated setup inherits the starting user's, and a reginfo
// folder of theirs would decide whether the uninstall password is asked.
// Cached for the rest of the run after the first success; null when it cannot
// be found.
const char* utl_GetCommonProgramFiles();

// "<common program files>\Kivra\Nexa Client\reginfo" into out. Returns 1, or 0
// when there is no common program files directory or the path does not fit.
int GetRegInfoDir(char* out, size_t size);

// Forgets the cached directory (tests only).
void ResetCommonProgramFilesCache();
