// File helpers of the pack reader, also used by the verification of
// customisation files.
#pragma once
#include <windows.h>

// Stores the high and low 32-bit words of the size of the file at path and
// returns 1; returns 0 when no file of that name exists (a directory does not
// count) or the attribute query fails (logged under "UtlFile").
int utl_GetFileSize(const char* path, DWORD* high, DWORD* low);

// Opens an existing file for reading, sharing read access only.
HANDLE utl_OpenFileForRead(const char* path);

// Opens a file for reading and writing with read and write sharing, creating it
// when missing and keeping what it holds (no truncation); the position is 0.
HANDLE utl_NewOrOpenFileForWrite(const char* path);
