#include "platform/list_dir.h"

#include <stddef.h>
#include <string.h>

// The system fills the buffer with records of this layout, the same on every
// build (no pointers in it).
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileAttributes) == 56, "FILE_ID_BOTH_DIR_INFO.FileAttributes");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileNameLength) == 60, "FILE_ID_BOTH_DIR_INFO.FileNameLength");
static_assert(offsetof(FILE_ID_BOTH_DIR_INFO, FileName) == 104, "FILE_ID_BOTH_DIR_INFO.FileName");

int ForEachEntry(HANDLE dir, bool (*visit)(const wchar_t* name, DWORD attributes, void* context), void* context) {
    // Room for several entries; a name is at most 255 characters.
    alignas(8) BYTE buffer[8192];
    FILE_INFO_BY_HANDLE_CLASS query = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(dir, query, buffer, sizeof buffer))
            return GetLastError() == ERROR_NO_MORE_FILES;
        query = FileIdBothDirectoryInfo;
        for (const BYTE* at = buffer;;) {
            const FILE_ID_BOTH_DIR_INFO* entry = (const FILE_ID_BOTH_DIR_INFO*)at;
            wchar_t name[MAX_PATH];
            size_t chars = entry->FileNameLength / sizeof(wchar_t);
            if (chars < MAX_PATH) {
                memcpy(name, entry->FileName, chars * sizeof(wchar_t));
                name[chars] = L'\0';
                bool self = wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
                if (!self && !visit(name, entry->FileAttributes, context)) return 1;
            }
            if (!entry->NextEntryOffset) break;
            at += entry->NextEntryOffset;
        }
    }
}
