#include "platform/read_exactly.h"

int ReadExactly(HANDLE file, void* out, DWORD size) {
    DWORD total = 0;
    while (total < size) {
        DWORD got = 0;
        if (!ReadFile(file, (char*)out + total, size - total, &got, nullptr) || got == 0) return 0;
        total += got;
    }
    return 1;
}
