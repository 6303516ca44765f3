// Stays alive for argv[1] milliseconds (default 60000), then ends with code 0.
// Tests copy it under the executable names the setup watches for.
#include <stdlib.h>
#include <windows.h>

int main(int argc, char** argv) {
    Sleep(argc > 1 ? (DWORD)strtoul(argv[1], nullptr, 10) : 60000);
    return 0;
}
