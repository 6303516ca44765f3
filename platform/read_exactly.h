// Reading a file's bytes whatever sizes the reads come back in.
#pragma once
#include <windows.h>

// Reads exactly size bytes from the file's current position into out, however
// the reads come back. Returns 1, or 0 at an error or the end of the file.
int ReadExactly(HANDLE file, void* out, DWORD size);
