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

// utl_FileUnpack for a carrier that the caller holds open (with read access):
// the same log lines, codes and files, but the carrier's size comes from the
// handle and its pack is read through it, from dwOffset on (the handle's file
// position moves), never by opening pszSrcPath\pszSrcFile, which only names
// it in the log. So 152 and 156 do not arise; a handle whose size cannot be
// had, or that is a directory, gives 155. The handle stays open.
int utl_FileUnpackByHandle(HANDLE hCarrier, const char* pszSrcPath, const char* pszSrcFile,
                           const char* pszDstPath, DWORD* err, DWORD dwOffset);

// The read and write calls of the unpacker: ReadFile and WriteFile, replaced
// only by tests, which need reads and writes that fail part-way through.
typedef BOOL(WINAPI* UnpackReadFn)(HANDLE, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
typedef BOOL(WINAPI* UnpackWriteFn)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
extern UnpackReadFn g_unpackReadFile;
extern UnpackWriteFn g_unpackWriteFile;
