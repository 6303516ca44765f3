// Keeps DLLs planted beside Setup.exe (usually in a Downloads folder) from
// being loaded: only the system directory is searched.
#pragma once

// Restricts the DLL search of this process to System32 where the system can
// (SetDefaultDllDirectories), else removes the current directory from it.
void RestrictDllSearchPath();

// Loads a system DLL from the system directory by its full path; null when it
// is not there.
void* LoadSystemLibrary(const char* name);
