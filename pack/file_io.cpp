#include "pack/file_io.h"

#include "log/log.h"
#include "platform/fs.h"

int utl_GetFileSize(const char* path, DWORD* high, DWORD* low) {
    if (!path || !high || !low || !FileExists(path)) return 0;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) {
        ModuleLogF("UtlFile", "utl_GetFileSize: GetFileAttributesEx failed with err.%u.",
                   (unsigned)GetLastError());
        return 0;
    }
    *high = data.nFileSizeHigh;
    *low = data.nFileSizeLow;
    return 1;
}

HANDLE utl_OpenFileForRead(const char* path) {
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

HANDLE utl_NewOrOpenFileForWrite(const char* path) {
    return CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}
