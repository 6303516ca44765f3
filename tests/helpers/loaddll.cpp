// Loads the DLL named by argv[1] by its bare name; exit code 0 when it loaded.
#include <windows.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    return LoadLibraryA(argv[1]) ? 0 : 1;
}
