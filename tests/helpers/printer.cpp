// Prints a 4096-byte block that holds a NUL after "abc" on standard output,
// waits, then prints "tail" on standard error: what a command runner must
// collect from both, chunk by chunk.
#include <string.h>
#include <windows.h>

int main() {
    char block[4096];
    memset(block, 'x', sizeof block);
    memcpy(block, "abc\0", 4);
    DWORD written;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), block, sizeof block, &written, nullptr);
    Sleep(300);
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), "tail", 4, &written, nullptr);
    return 0;
}
