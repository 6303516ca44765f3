#include "setup/globals.h"

HANDLE instanceEvent = nullptr;
int g_bExit = 0;
char storedUninstallPassword[132];
int wrongPasswordCount = 0;
char workDir[MAX_PATH];

void CloseInstanceEvent() {
    if (instanceEvent) {
        CloseHandle(instanceEvent);
        instanceEvent = nullptr;
    }
}
