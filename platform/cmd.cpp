#include "platform/cmd.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "log/log.h"
#include "platform/handle.h"
#include "platform/start_program.h"

CmdOutput::~CmdOutput() { free(data_); }

bool CmdOutput::Append(const char* bytes, size_t n) {
    if (length_ + n + 1 > capacity_) {
        size_t wanted = capacity_ ? capacity_ : 4096;
        while (wanted < length_ + n + 1) wanted *= 2;
        char* grown = (char*)realloc(data_, wanted);
        if (!grown) return false;
        data_ = grown;
        capacity_ = wanted;
    }
    memcpy(data_ + length_, bytes, n);
    length_ += n;
    data_[length_] = '\0';
    return true;
}

void CmdOutput::Swap(CmdOutput& other) {
    char* d = data_;
    size_t l = length_, c = capacity_;
    data_ = other.data_;
    length_ = other.length_;
    capacity_ = other.capacity_;
    other.data_ = d;
    other.length_ = l;
    other.capacity_ = c;
}

int GetCmd(const char* commandLine, CmdOutput* output, const char* category, const char* program,
           const char* directory) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    ScopedHandle readEnd, writeEnd;
    if (!CreatePipe(readEnd.Receive(), writeEnd.Receive(), &inheritable, 0)) {
        ModuleLogF(category, "GetCmd: Create Pipe Failed with ErrCode:%u", (unsigned)GetLastError());
        return 0;
    }
    // The child inherits the write end only; our read end stays ours.
    SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

    ProgramStart start = {program, commandLine ? commandLine : "", directory, SW_HIDE, writeEnd.Get()};
    ScopedHandle process;
    DWORD startError = StartProgram(start, &process);
    if (startError != ERROR_SUCCESS) {
        ModuleLogF(category, "GetCmd: Create CMD Process Failed with ErrCode:%u", (unsigned)startError);
        return 0;
    }
    if (WaitForSingleObject(process.Get(), 20) == WAIT_FAILED) {
        ModuleLog(category, "GetCmd: WAIT_FAILED!", 0);
        return 0;
    }
    // Reading ends when every holder of the write end has closed it: the child
    // (and whatever it started), once ours is gone.
    writeEnd.Reset();

    CmdOutput collected;
    size_t total = 0;
    char chunk[4097];
    for (;;) {
        memset(chunk, 0, sizeof chunk);
        DWORD got = 0;
        if (!ReadFile(readEnd.Get(), chunk, 4096, &got, nullptr) || got == 0) break;
        collected.Append(chunk, strlen(chunk)); // a chunk is cut at its first NUL
        total += got;
    }
    if (total > 0) output->Swap(collected);
    return 1;
}
