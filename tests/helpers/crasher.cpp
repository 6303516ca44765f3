// Crashes at once, as a test program whose expectation faults would.
#include <stdlib.h>

int main(int argc, char**) {
    // A write through a null pointer that the compiler cannot see coming.
    volatile int* nowhere = argc > 99 ? (int*)malloc(sizeof(int)) : nullptr;
    *nowhere = 1;
    return 0;
}
