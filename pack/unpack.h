// Reading the payload pack out of its carrier file into a directory.
#pragma once
#include <windows.h>

// Reads the pack that starts at dwOffset in pszSrcPath\pszSrcFile and writes
// each stored file into the existing directory pszDstPath. Returns 1 when the
// pack was read to its end (err is left alone); returns 0 with a code 150-166
// in *err on failure, every step and failure logged under "UtlFile". Files
// written before a failure stay. A record name that could land outside the
// destination is refused with 161 before anything is opened.
int utl_FileUnpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                   DWORD* err, DWORD dwOffset);

// Reads exactly length bytes with one read call and un-mixes them in place.
// Returns 1, or 0 when the read fails or comes back short.
int ReadAndUnmix(HANDLE file, void* buffer, DWORD length);

// The read and write calls of the unpacker: ReadFile and WriteFile, replaced
// only by tests, which need reads and writes that fail part-way through.
typedef BOOL(WINAPI* UnpackReadFn)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
typedef BOOL(WINAPI* UnpackWriteFn)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern UnpackReadFn g_unpackReadFile;
extern UnpackWriteFn g_unpackWriteFile;
