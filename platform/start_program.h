// Starting a program of the payload: a process of its own, never through the
// shell, which would let the user's part of the class registry choose what
// runs for an .exe; in a folder and an environment the setup chose.
#pragma once
#include <windows.h>

#include "platform/handle.h"

struct ProgramStart {
    const char* program;     // the full path: what runs, never searched for
    const char* commandLine; // what the program receives as its command line
    const char* directory;   // its current directory
    WORD show;               // how its first window shows (SW_HIDE, SW_SHOW)
    HANDLE output;           // inherited as its standard output and error; null: none
};

// Starts start.program with the environment BuildChildEnvironment builds.
// Returns ERROR_SUCCESS with the process in *process, or why it did not
// start: the system's error, ERROR_NOT_ENOUGH_MEMORY when the environment or
// the command line's copy could not be made.
DWORD StartProgram(const ProgramStart& start, ScopedHandle* process);
