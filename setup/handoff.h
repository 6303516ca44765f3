// The hand-off: the admission program's two runs, the installer's start, and
// the wait until the installer has ended.
#pragma once
#include <windows.h>

// Runs W\kopApxSvr.exe with "-setUpdInfo" and then "-exitkopclient" (each
// waited for, at most about five minutes), starts W\KivraSetup.exe and waits as
// long as it runs. Returns 1 when the installer has ended; 0 with 355 or 357 in
// *errorCode when a program is missing. Leaves through EndSequence.
int HandOverToInstaller(DWORD* errorCode);

// The common exit of the sequence: closes the single-instance event and
// returns result.
int EndSequence(int result);
