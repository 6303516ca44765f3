#include "integrity/backup_path.h"

#include <stdio.h>
#include <windows.h>

int JoinBackupPath(char* out, size_t size, const char* name) {
    if (!out || size == 0) return 0;
    out[0] = '\0';
    char root[MAX_PATH];
    UINT len = GetSystemWindowsDirectoryA(root, sizeof root);
    if (len == 0 || len >= sizeof root) return 0;
    int n = snprintf(out, size, "%s\\system32\\%s", root, name ? name : "");
    if (n < 0 || (size_t)n >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}
