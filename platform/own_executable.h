// The file this process was started from, held open by handle. Setup.exe
// usually runs from the Downloads folder of the user who started it, and that
// user may rename a running program and put another file in its place: a
// carrier opened again by its name could then be anyone's.
#pragma once
#include <stddef.h>
#include <windows.h>

// Opens the executable this process runs from, by the name the system gives
// it (written into path), for reading, sharing neither writing nor deletion,
// and keeps it only when the opened file is the very file whose image is
// running. Returns the handle; INVALID_HANDLE_VALUE when the name does not fit
// or cannot be opened, or (*replaced set) when the file of that name is
// another one now.
HANDLE HoldOwnExecutable(char* path, size_t size, bool* replaced);

// 1 when file (opened with read and execute access) holds the image this
// process was started from.
int IsRunningImage(HANDLE file);
