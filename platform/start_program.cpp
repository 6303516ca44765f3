#include "platform/start_program.h"

#include <stdlib.h>
#include <string.h>

#include "platform/child_environment.h"

DWORD StartProgram(const ProgramStart& start, ScopedHandle* process) {
    EnvBlock environment;
    const wchar_t* block = BuildChildEnvironment(&environment) ? environment.Block() : nullptr;
    if (!block) return ERROR_NOT_ENOUGH_MEMORY;

    STARTUPINFOA startup;
    memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = start.show;
    if (start.output) {
        startup.dwFlags |= STARTF_USESTDHANDLES;
        startup.hStdOutput = start.output;
        startup.hStdError = start.output;
    }

    // CreateProcessA may write into its command line, so it gets a copy.
    size_t length = strlen(start.commandLine);
    char* line = (char*)malloc(length + 1);
    if (!line) return ERROR_NOT_ENOUGH_MEMORY;
    memcpy(line, start.commandLine, length + 1);
    PROCESS_INFORMATION child;
    BOOL started = CreateProcessA(start.program, line, nullptr, nullptr, start.output != nullptr,
                                  CREATE_UNICODE_ENVIRONMENT, (void*)block, start.directory, &startup, &child);
    DWORD error = started ? ERROR_SUCCESS : GetLastError();
    free(line);
    if (!started) return error;
    ScopedHandle thread(child.hThread);
    process->Reset(child.hProcess);
    return ERROR_SUCCESS;
}
