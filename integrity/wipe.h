// Clearing of buffers that held secrets (clear passwords, the verification
// salt) before they are freed or go out of scope.
#pragma once
#include <stddef.h>

// Writes zeros over size bytes at p. The stores go through a volatile pointer
// so that the compiler cannot drop them as dead before a free or a return.
inline void WipeBytes(void* p, size_t size) {
    volatile unsigned char* v = (volatile unsigned char*)p;
    while (size--) *v++ = 0;
}
