// Reads the icon name out of the customisation document named by argv[1] the
// way the setup does (load, read, free the document), on the main thread of a
// process linked with Setup.exe's own stack reserve, and writes to the file
// named by argv[2] how many bytes of stack that took at most. A stack overflow
// ends the process with an exception code instead of 0.
//
// The free stack is painted first; afterwards the lowest byte that no longer
// holds the paint marks how deep the read went.
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "custom/custom_files.h"

namespace {

const unsigned char kPaint = 0xA5;
// Left unpainted at the bottom of the reserve: the guard pages and the room
// the system keeps for raising a stack overflow.
const size_t kBottomSlack = 64 * 1024;

unsigned char* volatile g_painted;

__attribute__((noinline)) void Paint(size_t bytes) {
    // alloca probes page by page, so the stack grows through its guard page.
    unsigned char* area = (unsigned char*)__builtin_alloca(bytes);
    memset(area, kPaint, bytes);
    // The area dies with this frame; without this the compiler drops the paint.
    __asm__ volatile("" : : "r"(area) : "memory");
    g_painted = area;
}

__attribute__((noinline)) void ReadIcon(const char* path) {
    char icon[MAX_PATH + 1];
    GuardedFile document;
    ReadGuardedFile(path, &document);
    ReadCustomIconName(document, icon, sizeof icon);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    volatile char top = 0;
    MEMORY_BASIC_INFORMATION stack;
    if (!VirtualQuery((const void*)&top, &stack, sizeof stack)) return 3;
    unsigned char* bottom = (unsigned char*)stack.AllocationBase + kBottomSlack;
    // Paint from below this frame's callees down to the slack.
    Paint((size_t)((unsigned char*)&top - bottom) - 4096);
    ReadIcon(argv[1]);
    unsigned char* low = g_painted;
    while (*low == kPaint) ++low;
    FILE* out = fopen(argv[2], "w");
    if (!out) return 4;
    fprintf(out, "%lu %lu\n", (unsigned long)((unsigned char*)&top - low),
            (unsigned long)((unsigned char*)&top - (unsigned char*)stack.AllocationBase));
    fclose(out);
    return 0;
}
