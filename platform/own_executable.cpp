#include "platform/own_executable.h"

#include "platform/handle.h"

// In ntdll, declared by no header of the toolchain.
extern "C" LONG NTAPI NtAreMappedFilesTheSame(PVOID one, PVOID other);

int IsRunningImage(HANDLE file) {
    // The system tells whether two mapped images come from one file. Mapping
    // the file as an image shares the running image's section when they are
    // the same file, so this costs next to nothing then.
    ScopedHandle section(CreateFileMappingA(file, nullptr, PAGE_READONLY | SEC_IMAGE, 0, 0, nullptr));
    if (!section.Valid()) return 0;
    void* view = MapViewOfFile(section.Get(), FILE_MAP_READ, 0, 0, 0);
    if (!view) return 0;
    int same = NtAreMappedFilesTheSame(GetModuleHandleA(nullptr), view) == 0;
    UnmapViewOfFile(view);
    return same;
}

HANDLE HoldOwnExecutable(char* path, size_t size, bool* replaced) {
    *replaced = false;
    DWORD len = GetModuleFileNameA(nullptr, path, (DWORD)size);
    if (len == 0 || len >= size) return INVALID_HANDLE_VALUE;
    HANDLE file = CreateFileA(path, GENERIC_READ | FILE_EXECUTE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr);
    if (file == INVALID_HANDLE_VALUE || IsRunningImage(file)) return file;
    CloseHandle(file);
    *replaced = true;
    return INVALID_HANDLE_VALUE;
}
