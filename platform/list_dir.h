// Listing a directory through a handle that is already open and held, so that
// the listing is of that very directory, whatever its name leads to meanwhile.
#pragma once
#include <windows.h>

// Calls visit(name, attributes, context) for every entry of dir (opened with
// FILE_LIST_DIRECTORY) but "." and "..", until visit returns false. Returns 1
// when the listing was read to its end (or visit stopped it), 0 when it could
// not be read.
int ForEachEntry(HANDLE dir, bool (*visit)(const wchar_t* name, DWORD attributes, void* context), void* context);
