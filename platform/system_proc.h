// Functions of system libraries that are looked up at run time, because some
// systems lack them or because their library is loaded by full path.
#pragma once
#include <windows.h>

// The function name of module, typed as the system headers declare it (Fn is
// decltype(TheFunction)), calling convention included: on i686 a stdcall
// function called through a pointer of another convention corrupts the stack,
// and with the declared type such a call does not compile. Null when module
// is null or lacks the function.
template <typename Fn>
Fn* SystemProc(HMODULE module, const char* name) {
    FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
    // void (*)() is the one function type that converts to every other
    // without a cast-function-type warning.
    return reinterpret_cast<Fn*>(reinterpret_cast<void (*)()>(proc));
}
