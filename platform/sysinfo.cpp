#include "platform/sysinfo.h"

#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "log/log.h"
#include "platform/handle.h"
#include "platform/system_dir.h"
#include "platform/system_proc.h"

int GetSysDriveLetter(const char* category, char* buffer, unsigned size) {
    if (!buffer || size < MAX_PATH) {
        ModuleLog(category, "the len in is too small", 0);
        return 0;
    }
    char system[MAX_PATH + 1];
    if (!GetSystemDir(system, sizeof system)) return 0;
    buffer[0] = system[0];
    buffer[1] = '\0';
    return 1;
}

long long GetDiskFreeBytes(const char* root) {
    // Looked up at run time: the extended call is missing from the oldest systems.
    auto freeSpaceEx =
        SystemProc<decltype(GetDiskFreeSpaceExA)>(GetModuleHandleA("kernel32.dll"), "GetDiskFreeSpaceExA");
    if (freeSpaceEx) {
        ULARGE_INTEGER available, total, totalFree;
        if (!freeSpaceEx(root, &available, &total, &totalFree)) return -1;
        return (long long)available.QuadPart;
    }
    DWORD sectorsPerCluster, bytesPerSector, freeClusters, clusters;
    if (!GetDiskFreeSpaceA(root, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return -1;
    // The old call's figure, in its own 32-bit arithmetic.
    return (long long)(DWORD)(sectorsPerCluster * bytesPerSector * freeClusters);
}

int IsCurUserAdmin() {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) {
        PlainLog("IsCurUserAdmin", "Cannot open process token");
        return 0;
    }
    DWORD needed = 0;
    GetTokenInformation(token.Get(), TokenGroups, nullptr, 0, &needed);
    if (needed == 0) {
        PlainLog("IsCurUserAdmin", "GetTokenInformation error");
        return 0;
    }
    TOKEN_GROUPS* groups = (TOKEN_GROUPS*)malloc(needed);
    if (!groups) {
        PlainLog("IsCurUserAdmin", "GetTokenInformation error with NULL!");
        return 0;
    }
    int isAdmin = 0;
    if (!GetTokenInformation(token.Get(), TokenGroups, groups, needed, &needed)) {
        PlainLog("IsCurUserAdmin", "GetTokenInformation error");
    } else {
        SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
        PSID admins = nullptr;
        if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                      DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0, &admins)) {
            char line[96];
            snprintf(line, sizeof line, "Cannot create SID for Administrators with Err:%u.",
                     (unsigned)GetLastError());
            PlainLog("IsCurUserAdmin", line);
        } else {
            // Any entry counts, a deny-only one of a filtered token too.
            for (DWORD i = 0; i < groups->GroupCount && !isAdmin; ++i)
                if (EqualSid(groups->Groups[i].Sid, admins)) isAdmin = 1;
            FreeSid(admins);
        }
    }
    free(groups);
    return isAdmin;
}
