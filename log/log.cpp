#include "log/log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/secure_dir.h"
#include "platform/sysinfo.h"

int bLogDetail = 0;

namespace {

struct LogKind {
    const char* stem;      // file name before the date, e.g. "setup" or "stp_Setup"
    const char* threadTag; // "[%x] " or "[0x%x] "
    int detail;            // write "[DTL] "
};

// "<drive>:\KivraLog", or "C:\KivraLog" when the system drive is unknown.
void DefaultLogDir(char* dir, size_t size) {
    char drive[261] = {0};
    if (GetSysDriveLetter("setup", drive, sizeof drive))
        snprintf(dir, size, "%s:\\KivraLog", drive);
    else
        snprintf(dir, size, "C:\\KivraLog");
}

void WriteString(HANDLE file, const char* text) {
    DWORD written = 0;
    WriteFile(file, text, (DWORD)strlen(text), &written, nullptr);
}

// Removes this weekday's files of one log from earlier weeks: the first line of
// a day is what limits a log to one week. Read-only files go too.
void RemoveSameWeekday(const char* dir, const char* stem, unsigned weekday) {
    char pattern[MAX_PATH];
    int n = snprintf(pattern, sizeof pattern, "%s*%02u.log", stem, weekday);
    if (n > 0 && (size_t)n < sizeof pattern) DeleteMatchingFiles(dir, pattern);
}

HANDLE OpenExistingLog(const char* path) {
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void WriteLine(const char* dir, const LogKind& kind, const char* message) {
    // Users may read the logs; only administrators write them.
    if (!DirExists(dir)) CreateProtectedDirectory(dir);

    SYSTEMTIME now;
    GetLocalTime(&now);
    char path[MAX_PATH];
    int n = snprintf(path, sizeof path, "%s\\%s%04u%02u%02u%02u.log", dir, kind.stem, now.wYear,
                     now.wMonth, now.wDay, now.wDayOfWeek);
    if (n < 0 || (size_t)n >= sizeof path) return;

    ScopedHandle file;
    if (FileExists(path)) {
        file.Reset(OpenExistingLog(path));
    } else {
        RemoveSameWeekday(dir, kind.stem, now.wDayOfWeek);
        file.Reset(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
        // Another writer may have created it in the meantime.
        if (!file.Valid() && GetLastError() == ERROR_FILE_EXISTS) file.Reset(OpenExistingLog(path));
    }
    if (!file.Valid()) return;

    SetFilePointer(file.Get(), 0, nullptr, FILE_END);
    char piece[64];
    snprintf(piece, sizeof piece, "[%04u-%02u-%02u %02u:%02u:%02u] ", now.wYear, now.wMonth,
             now.wDay, now.wHour, now.wMinute, now.wSecond);
    WriteString(file.Get(), piece);
    if (kind.detail) WriteString(file.Get(), "[DTL] ");
    snprintf(piece, sizeof piece, kind.threadTag, (unsigned)GetCurrentThreadId());
    WriteString(file.Get(), piece);
    WriteString(file.Get(), message ? message : "");
    WriteString(file.Get(), "\r\n");
}

} // namespace

void SetupLog(const char* message) {
    char dir[MAX_PATH];
    DefaultLogDir(dir, sizeof dir);
    WriteLine(dir, LogKind{"setup", "[%x] ", 0}, message);
}

void ModuleLog(const char* category, const char* message, int detail) {
    if (detail && !bLogDetail) return;
    char stem[MAX_PATH];
    int n = snprintf(stem, sizeof stem, "stp_%s", category ? category : "");
    if (n < 0 || (size_t)n >= sizeof stem) return;
    char dir[MAX_PATH];
    DefaultLogDir(dir, sizeof dir);
    WriteLine(dir, LogKind{stem, "[0x%x] ", detail != 0}, message);
}

void PlainLog(const char* category, const char* message) {
    WriteLine("c:\\KivraLog", LogKind{category ? category : "", "[%x] ", 0}, message);
}

void SetupLogF(const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    SetupLog(line);
}

void ModuleLogF(const char* category, const char* format, ...) {
    char line[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    ModuleLog(category, line, 0);
}
