#include "platform/registry.h"

#include <string.h>

#include "platform/handle.h"

int RegReadDword(HKEY hive, const char* subKey, const char* name, DWORD* value) {
    if (!value) return 0;
    ScopedRegKey key;
    if (RegOpenKeyExA(hive, subKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return 0;
    DWORD read = 0, size = sizeof read, type = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, (BYTE*)&read, &size) != ERROR_SUCCESS ||
        size != sizeof read)
        return 0;
    *value = read;
    return 1;
}

int RegReadString(HKEY hive, const char* subKey, const char* name, char* out, DWORD size) {
    if (!out || size == 0) return 0;
    ScopedRegKey key;
    if (RegOpenKeyExA(hive, subKey, 0, KEY_QUERY_VALUE, key.Receive()) != ERROR_SUCCESS) return 0;
    // One spare byte: a stored string need not carry its terminator.
    char value[MAX_PATH + 1] = {0};
    DWORD bytes = MAX_PATH, type = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, (BYTE*)value, &bytes) != ERROR_SUCCESS)
        return 0;
    size_t len = strlen(value);
    if (len >= size) return 0; // would not fit with its terminator
    memcpy(out, value, len + 1);
    return 1;
}
