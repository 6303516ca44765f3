#include "platform/join_path.h"

#include <stdio.h>

int JoinPath(char* out, size_t size, const char* dir, const char* name) {
    if (!out || size == 0) return 0;
    int n = snprintf(out, size, "%s\\%s", dir ? dir : "", name ? name : "");
    if (n < 0 || (size_t)n >= size) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}
