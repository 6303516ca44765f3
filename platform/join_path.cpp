#include "platform/join_path.h"

#include <stdio.h>
#include <string.h>

int JoinPath(char* out, size_t size, const char* dir, const char* name) {
    if (!out || size == 0) return 0;
    int n = snprintf(out, size, "%s\\%s", dir ? dir : "", name ? name : "");
    if (n < 0 || (size_t)n >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

const char* SplitAtLastBackslash(const char* path, char* dir) {
    const char* slash = strrchr(path, '\\');
    size_t dirLen = slash ? (size_t)(slash - path) : 0;
    memcpy(dir, path, dirLen);
    dir[dirLen] = '\0';
    return slash ? slash + 1 : path;
}
