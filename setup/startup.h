// The life of one setup run: the start-up checks, the password gate and the
// unpack-and-setup sequence. WinMain only calls SetupMain.
#pragma once

// The two start-up probes that Wine cannot vary for real (it always runs as an
// administrator, and its disks are the host's). Set to the real operations;
// only tests replace them.
struct StartupProbes {
    int (*isCurUserAdmin)();
    long long (*getDiskFreeBytes)(const char* root);
};
extern StartupProbes g_startupProbes;

// Runs the setup. Every refusal is a message box; the result is always 0.
int SetupMain();
