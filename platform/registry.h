// Registry reads; keys are opened with query access only, in the process's
// default registry view.
#pragma once
#include <windows.h>

// Reads the 4-byte value into *value. Returns 1, or 0 (value untouched).
int RegReadDword(HKEY hive, const char* subKey, const char* name, DWORD* value);

// Reads a string of up to 260 bytes and copies it into out only when it fits
// with its terminator into size bytes. Returns 1, or 0 with out untouched.
int RegReadString(HKEY hive, const char* subKey, const char* name, char* out, DWORD size);
