// The entry of Setup.exe: everything else lives in the kivra library.
#include <windows.h>

#include "platform/dll_search.h"
#include "setup/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Before anything can load a DLL: Setup.exe is usually started from a
    // Downloads folder, where a planted DLL would otherwise run elevated.
    RestrictDllSearchPath();
    return SetupMain();
}
