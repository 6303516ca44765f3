#include "setup/startup.h"

#include <stdio.h>
#include <windows.h>

#include "custom/uninstall_prompt.h"
#include "log/log.h"
#include "platform/process.h"
#include "platform/sysinfo.h"
#include "setup/globals.h"
#include "setup/password_dialog.h"
#include "setup/texts.h"
#include "setup/unpack_and_setup.h"

StartupProbes g_startupProbes = {IsCurUserAdmin, GetDiskFreeBytes};

namespace {

const long long kMegabyte = 0x100000;
const long long kRequiredFreeMegabytes = 300;

void ShowWarning(const BilingualText& text) {
    ShowLocalizedWarning(nullptr, text, kSetupCaption);
}

// The free-space check: logs the free megabytes of the system drive and returns
// false when fewer than 300 are free. A failed query lets the setup go on.
bool EnoughDiskSpace() {
    char drive[261] = {0};
    char root[8] = "C:";
    if (GetSysDriveLetter("setup", drive, sizeof drive)) snprintf(root, sizeof root, "%s:", drive);
    long long freeBytes = g_startupProbes.getDiskFreeBytes(root);
    long long megabytes = freeBytes / kMegabyte; // truncates toward zero, as -1 must stay 0
    SetupLogF("The %s free space is %dM.", root, (int)megabytes);
    return freeBytes == -1 || megabytes >= kRequiredFreeMegabytes;
}

// The customisation updater, under its full name and under the 15-character
// name that some process lists show for it.
bool UpdaterRuns() {
    return chkProcExist("waitSetup", "UpdateCusInfo.exe") == kProcRunning ||
           chkProcExist("waitSetup", "UpdateCusInfo.e") == kProcRunning;
}

} // namespace

int SetupMain() {
    instanceEvent = CreateEventA(nullptr, FALSE, FALSE, "evnt_Kivra_stpDamon");
    if (!instanceEvent) return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseInstanceEvent();
        ShowWarning(kAnotherInstanceText);
        return 0;
    }
    if (!g_startupProbes.isCurUserAdmin()) {
        ShowWarning(kNotAdminText);
        return 0;
    }
    if (!EnoughDiskSpace()) {
        ShowWarning(kDiskShortText);
        return 0;
    }
    if (UpdaterRuns()) {
        ShowWarning(kUpdaterRunsText);
        return 0;
    }

    DWORD errorCode = 0;
    if (IsUninstallPrompt("setup", storedUninstallPassword)) {
        // The installed client is protected: it is upgraded only after its
        // uninstall password was typed.
        if (!RunPasswordDialog()) {
            CloseInstanceEvent();
            SetupLog("Exit main");
            return 0;
        }
        SetupLog("Begin UnpackAndSetup");
        errorCode = 0;
    }
    if (!UnpackAndSetup(&errorCode)) SetupLogF("install failed with Err %u.", (unsigned)errorCode);

    CloseInstanceEvent();
    SetupLog("Exit main");
    return 0;
}
