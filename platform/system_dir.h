// The system directory, taken once in one way for every user.
#pragma once
#include <windows.h>

// Writes the system directory into out. Returns its length, or 0 when the
// system gives none or it does not fit in size bytes with its terminator (out
// is then an empty string when size is not 0).
unsigned GetSystemDir(char* out, unsigned size);

// What GetSystemDir asks the system, replaced only by tests: Wine cannot move
// the system directory to another drive.
extern UINT(WINAPI* g_getSystemDirectory)(LPSTR, UINT);
