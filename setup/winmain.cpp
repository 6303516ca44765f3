// The entry of Setup.exe: everything else lives in the kivra library.
#include <windows.h>

#include "setup/startup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return SetupMain(); }
