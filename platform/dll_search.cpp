#include "platform/dll_search.h"

#include <windows.h>

#include "platform/fs.h"
#include "platform/system_dir.h"
#include "platform/system_proc.h"

void RestrictDllSearchPath() {
    const DWORD kSearchSystem32 = 0x00000800; // LOAD_LIBRARY_SEARCH_SYSTEM32
    auto setDefault = SystemProc<decltype(SetDefaultDllDirectories)>(GetModuleHandleA("kernel32.dll"),
                                                                      "SetDefaultDllDirectories");
    // Systems without the update that brought SetDefaultDllDirectories still
    // drop the current directory from the search.
    if (!setDefault || !setDefault(kSearchSystem32)) SetDllDirectoryA("");
}

void* LoadSystemLibrary(const char* name) {
    char system[MAX_PATH + 1], path[MAX_PATH + 1];
    if (!GetSystemDir(system, sizeof system) || !JoinPath(path, sizeof path, system, name)) return nullptr;
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
