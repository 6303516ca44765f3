// The setup driver's process-wide state, all zero at start.
#pragma once
#include <windows.h>

// The single-instance event "evnt_Kivra_stpDamon", held from the start of the
// run to its end and closed exactly once (CloseInstanceEvent).
extern HANDLE instanceEvent;
// Set to 1 by the password dialog when the right password was typed.
extern int g_bExit;
// The installed client's stored uninstall password, in its enciphered text form.
extern char storedUninstallPassword[132];
// Wrong entries in the password dialog so far.
extern int wrongPasswordCount;
// The work directory, <system drive>:\tmp\KivraSetup0.
extern char workDir[MAX_PATH];

// Closes instanceEvent if it is open and clears it.
void CloseInstanceEvent();
