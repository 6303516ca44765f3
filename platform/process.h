// Process checks by executable name.
#pragma once

enum ProcCheck {
    kProcRunning = 0,    // a process of that executable name runs
    kProcNotRunning = 1, // none runs
    kProcListFailed = 2, // the process list could not be read (logged under category)
};

// Looks for a running process whose executable name equals exeName, ignoring the
// case of A-Z and comparing whole names only.
int chkProcExist(const char* category, const char* exeName);
