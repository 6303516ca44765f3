#include "log/log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/named_object.h"
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

// What OpenLogFile leaves as the last error when it refuses a name:
// ERROR_NOT_SAME_OBJECT, which mingw's headers lack.
const DWORD kNotThisFile = 1656;

// Opens the log file at path for appending, creating it new with CREATE_NEW.
// A name that is not a plain file of its own (a link, a file with a second
// name) gets no line: the elevated setup would otherwise write wherever a user
// pointed it.
HANDLE OpenLogFile(const char* path, DWORD disposition, DWORD share) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE | FILE_READ_ATTRIBUTES, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE || KindOfOpenObject(file, path) == kObjectFile) return file;
    CloseHandle(file);
    SetLastError(kNotThisFile);
    return INVALID_HANDLE_VALUE;
}

HANDLE OpenExistingLog(const char* path) {
    return OpenLogFile(path, OPEN_EXISTING, FILE_SHARE_READ | FILE_SHARE_WRITE);
}

// Opens the log folder itself and holds it (no delete sharing), creating it
// when missing. Invalid when it is not the real folder of that name: a link to
// another place would have the day's new file created there.
HANDLE HoldLogFolder(const char* dir) {
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    ObjectKind kind;
    HANDLE folder = OpenNamedObject(dir, 0, share, &kind);
    if (kind == kObjectMissing) {
        // Default security, as every writer of the client's logs makes it.
        CreateDirectoryA(dir, nullptr);
        folder = OpenNamedObject(dir, 0, share, &kind);
    }
    if (kind == kObjectDirectory) return folder;
    if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
    return INVALID_HANDLE_VALUE;
}

void WriteLine(const char* dir, const LogKind& kind, const char* message) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char path[MAX_PATH];
    int n = snprintf(path, sizeof path, "%s\\%s%04u%02u%02u%02u.log", dir, kind.stem, now.wYear,
                     now.wMonth, now.wDay, now.wDayOfWeek);
    if (n < 0 || (size_t)n >= sizeof path) return;

    // The day's file is opened straight away and looked for only when that
    // fails (a look costs Wine as much as the open, and every line but the
    // day's first finds the file). Where the opened file really is covers the
    // folder as well, so an existing day's file needs no look at the folder of
    // its own. A name that leads elsewhere loses the line, and so does a file
    // that is there but cannot be opened; no file of that name (a directory
    // does not count) makes this the first line of the day.
    ScopedHandle file(OpenExistingLog(path));
    if (!file.Valid() && GetLastError() != kNotThisFile && !FileExists(path)) {
        ScopedHandle folder(HoldLogFolder(dir));
        if (!folder.Valid()) return;
        RemoveSameWeekday(dir, kind.stem, now.wDayOfWeek);
        file.Reset(OpenLogFile(path, CREATE_NEW, FILE_SHARE_READ));
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

// The printf-style forms: one line of at most 1023 bytes to the setup log
// (category null) or to a category's log.
void LogFormatted(const char* category, const char* format, va_list args) {
    char line[1024];
    vsnprintf(line, sizeof line, format, args);
    if (category)
        ModuleLog(category, line, 0);
    else
        SetupLog(line);
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
    va_list args;
    va_start(args, format);
    LogFormatted(nullptr, format, args);
    va_end(args);
}

void ModuleLogF(const char* category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    LogFormatted(category, format, args);
    va_end(args);
}
