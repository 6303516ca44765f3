#include "platform/ini.h"

#include <string.h>
#include <windows.h>

unsigned IniReadString(const char* file, const char* section, const char* key, char* out,
                       unsigned size) {
    if (!file || !section || !key || !out || size <= 128) return 0;
    char value[128] = {0};
    DWORD len = GetPrivateProfileStringA(section, key, "", value, sizeof value, file);
    if (len > 0) memcpy(out, value, len + 1);
    return len;
}
