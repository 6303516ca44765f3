// Where the payload comes from: the setup executable itself (pack at 490000),
// or, for a client installed from the installer package, the local copy of
// that package beside the executable (pack at 3300000). Either is held open by
// handle from the choice until the unpack has read it, so no one can put
// another file in its place meanwhile.
#pragma once
#include <windows.h>

#include "platform/handle.h"

struct Carrier {
    char path[MAX_PATH]; // what the log names: the executable, or the copy beside it
    DWORD offset;
    ScopedHandle file;   // the carrier itself, for reading; shares neither writing nor deletion
};

// Chooses the carrier by the registry value "InstallByMsi" and holds it. In
// MSI mode, reads the package's source path (with its retries), uses a copy
// beside the executable only when it can be trusted, else copies the package
// anew from its source (one on this machine only when it can be trusted too:
// package_source.h). Returns 1; or 0, logged, when no carrier can be had
// (the error code is left alone).
int ChooseCarrier(Carrier* carrier);
