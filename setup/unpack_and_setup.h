// The unpack-and-setup sequence: carrier, work directory, payload, archives,
// data files, then the hand-off to the installer.
#pragma once
#include <windows.h>

// Runs the whole sequence. Returns 1 when the installer was started and has
// ended; 0 on failure, with the failure code in *errorCode (112, 150-166, 351,
// 352, 355, 356, 357; or left alone where only the log tells). A 112 recorded
// for an archive stays in *errorCode even when the sequence succeeds. Does not
// reset *errorCode on entry.
int UnpackAndSetup(DWORD* errorCode);
