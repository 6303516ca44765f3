// Opening or creating an object by its name inside a directory that is already
// open. The name is looked up in that directory and nowhere else: no path is
// walked again, so a folder that ordinary users may change (turned into a
// mount point, say, with an object-manager link behind it) cannot send the
// open elsewhere once the directory is held. A link at the name itself is
// opened as the link, never followed. One native call both creates and opens,
// so there is no moment between the two in which someone else's object could
// take the name.
#pragma once
#include <windows.h>

// The dispositions of the native create.
enum RelativeDisposition {
    kOpenExisting = 1, // FILE_OPEN
    kCreateNew = 2,    // FILE_CREATE: fails when the name is taken
};

// What is opened.
enum RelativeKind {
    kAnyObject = 0,
    kFileOnly = 0x40,     // FILE_NON_DIRECTORY_FILE
    kDirectoryOnly = 0x1, // FILE_DIRECTORY_FILE
};

// Opens or creates name in dir (dir null: name is a whole drive path such as
// "C:\tmp"). A new object gets security, when given, in the same call. The
// handle is synchronous and never lends this process's identity to a pipe
// server. Returns the handle, or INVALID_HANDLE_VALUE with the Win32 error set
// (ERROR_FILE_NOT_FOUND, ERROR_ALREADY_EXISTS for a taken name, ...).
HANDLE OpenRelative(HANDLE dir, const char* name, DWORD access, DWORD share, RelativeDisposition disposition,
                    RelativeKind kind, PSECURITY_DESCRIPTOR security = nullptr);
