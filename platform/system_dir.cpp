#include "platform/system_dir.h"

UINT(WINAPI* g_getSystemDirectory)(LPSTR, UINT) = GetSystemDirectoryA;

unsigned GetSystemDir(char* out, unsigned size) {
    if (!out || size == 0) return 0;
    // A directory that does not fit comes back as the size it needs, terminator
    // included, and nothing is written.
    UINT len = g_getSystemDirectory(out, size);
    if (len == 0 || len >= size) {
        out[0] = '\0';
        return 0;
    }
    return len;
}
