#include "platform/process.h"

#include <windows.h>
#include <tlhelp32.h>

#include "log/log.h"
#include "platform/handle.h"

namespace {

// Byte-wise comparison that ignores the case of A-Z only, whatever the code page.
bool SameNameIgnoringAsciiCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z') x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = (char)(y - 'A' + 'a');
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

} // namespace

int chkProcExist(const char* category, const char* exeName) {
    ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.Valid()) {
        ModuleLogF(category, "chkProcExist: createToolSnap failed with err: %d", (int)GetLastError());
        return kProcListFailed;
    }
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    if (!Process32First(snapshot.Get(), &entry)) {
        ModuleLogF(category, "chkProcExist: process32First failed with err: %d", (int)GetLastError());
        return kProcListFailed;
    }
    do {
        if (SameNameIgnoringAsciiCase(entry.szExeFile, exeName ? exeName : "")) return kProcRunning;
    } while (Process32Next(snapshot.Get(), &entry));
    return kProcNotRunning;
}
