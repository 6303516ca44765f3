#include "setup/handoff.h"

#include <stdio.h>

#include "log/log.h"
#include "platform/fs.h"
#include "platform/process.h"
#include "platform/start_program.h"
#include "setup/globals.h"
#include "setup/sequence_codes.h"

namespace {

bool Runs(const char* category, const char* exeName) {
    return chkProcExist(category, exeName) == kProcRunning;
}

// Starts the program at path, quoted, with its parameters (null: none), in
// the work directory. Whether it started shows in the waits that follow.
void Start(const char* path, const char* parameters, WORD show) {
    char line[MAX_PATH + 64];
    int length = snprintf(line, sizeof line, parameters ? "\"%s\" %s" : "\"%s\"", path, parameters);
    if (length < 0 || (size_t)length >= sizeof line) return;
    ProgramStart start = {path, line, workDir, show, nullptr};
    ScopedHandle process;
    StartProgram(start, &process);
}

// Starts the admission program and waits, 500 ms a check and at most 600
// checks, for every process of its name to end.
void RunAdmissionProgram(const char* path, const char* parameters) {
    Start(path, parameters, SW_HIDE);
    Sleep(300);
    for (unsigned checks = 0; Runs("waitCpd", "kopApxSvr.exe") && checks < 600; ++checks) Sleep(500);
}

} // namespace

int EndSequence(int result) {
    CloseInstanceEvent();
    return result;
}

int HandOverToInstaller(DWORD* errorCode) {
    char admission[MAX_PATH];
    if (!JoinPath(admission, sizeof admission, workDir, "kopApxSvr.exe") || !FileExists(admission)) {
        *errorCode = kSeqNoAdmissionProgram;
        return EndSequence(0);
    }
    RunAdmissionProgram(admission, "-setUpdInfo");
    RunAdmissionProgram(admission, "-exitkopclient");

    char installer[MAX_PATH];
    if (!JoinPath(installer, sizeof installer, workDir, "KivraSetup.exe") || !FileExists(installer)) {
        *errorCode = kSeqNoInstaller;
        return EndSequence(0);
    }
    Start(installer, nullptr, SW_SHOW);

    // The installer gets 600 x 50 ms to show up; not seeing it is no error.
    unsigned n = 0;
    while (n < 600 && !Runs("waitSetup", "KivraSetup.exe")) {
        Sleep(50);
        ++n;
    }
    SetupLogF("is-stp started at %u", n);

    // The setup stays alive as long as the installer runs, however long.
    unsigned m = 0;
    while (Runs("waitSetup", "KivraSetup.exe")) {
        Sleep(500);
        ++m;
    }
    SetupLogF("is-stp ended at %u.", m);
    return EndSequence(1);
}
