#include "standin_record.h"

#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace {

// Opens fileName beside the running program for appending; invalid on failure.
HANDLE OpenBesideSelf(const char* fileName) {
    char path[MAX_PATH];
    DWORD len = GetModuleFileNameA(nullptr, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (len == 0 || len >= sizeof path || !slash) return INVALID_HANDLE_VALUE;
    if ((size_t)(slash + 1 - path) + strlen(fileName) >= sizeof path) return INVALID_HANDLE_VALUE;
    strcpy(slash + 1, fileName);
    return CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// Writes text as UTF-8, then a line break.
void WriteLine(HANDLE file, const wchar_t* text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    char* utf8 = bytes > 0 ? (char*)malloc(bytes) : nullptr;
    DWORD written;
    if (utf8 && WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, bytes, nullptr, nullptr) == bytes)
        WriteFile(file, utf8, (DWORD)bytes - 1, &written, nullptr);
    free(utf8);
    WriteFile(file, "\r\n", 2, &written, nullptr);
}

} // namespace

void AppendBesideSelf(const char* fileName, const char* text, size_t length) {
    HANDLE file = OpenBesideSelf(fileName);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, text, (DWORD)length, &written, nullptr);
    CloseHandle(file);
}

void RecordSession(const char* fileName) {
    HANDLE file = OpenBesideSelf(fileName);
    if (file == INVALID_HANDLE_VALUE) return;
    wchar_t line[MAX_PATH + 3] = L"cd=";
    DWORD len = GetCurrentDirectoryW(MAX_PATH, line + 3);
    if (len == 0 || len >= MAX_PATH) line[3] = L'\0';
    WriteLine(file, line);
    wchar_t* environment = GetEnvironmentStringsW();
    for (const wchar_t* p = environment; p && *p; p += wcslen(p) + 1) WriteLine(file, p);
    if (environment) FreeEnvironmentStringsW(environment);
    WriteLine(file, L"");
    CloseHandle(file);
}
