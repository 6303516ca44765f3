#include "log/log.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>

#include "platform/handle.h"
#include "platform/join_path.h"
#include "platform/list_dir.h"
#include "platform/named_object.h"
#include "platform/open_relative.h"
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

// What OpenInLogFolder leaves as the last error when it refuses a name:
// ERROR_NOT_SAME_OBJECT, which mingw's headers lack.
const DWORD kNotThisFile = 1656;

// Opens an object in the held log folder by its name there (path is where
// that is), as itself, and keeps it only when it is the plain file of that
// name (not a link, not a second name of another file); else
// INVALID_HANDLE_VALUE, with the last error kNotThisFile for an object that
// is not.
HANDLE OpenInLogFolder(HANDLE folder, const char* name, const char* path, DWORD access, DWORD share,
                       RelativeDisposition disposition) {
    HANDLE file = OpenRelative(folder, name, access | FILE_READ_ATTRIBUTES, share, disposition, kFileOnly);
    // Windows opens a link as itself; Wine follows it, and where the handle
    // really points tells.
    if (file == INVALID_HANDLE_VALUE || KindOfOpenObject(file, path) == kObjectFile) return file;
    CloseHandle(file);
    SetLastError(kNotThisFile);
    return INVALID_HANDLE_VALUE;
}

HANDLE OpenExistingLog(HANDLE folder, const char* name, const char* path) {
    return OpenInLogFolder(folder, name, path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, kOpenExisting);
}

// Which of the folder's files the first line of a day removes.
struct SameWeekday {
    HANDLE folder;
    const char* dir;
    wchar_t stem[MAX_PATH];
    wchar_t suffix[8]; // "<weekday>.log"
};

bool EndsWithIgnoringCase(const wchar_t* text, size_t length, const wchar_t* tail) {
    size_t n = wcslen(tail);
    return length >= n && CompareStringOrdinal(text + length - n, (int)n, tail, (int)n, TRUE) == CSTR_EQUAL;
}

// Deletes one listed entry when its name is "<stem>*<weekday>.log" and it is
// a plain file of its own; read-only ones go too. Never a link, nor what one
// leads to.
bool RemoveIfSameWeekday(const wchar_t* name, DWORD attributes, void* context) {
    const SameWeekday& same = *(const SameWeekday*)context;
    size_t length = wcslen(name), stem = wcslen(same.stem);
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) || length < stem + wcslen(same.suffix) ||
        CompareStringOrdinal(name, (int)stem, same.stem, (int)stem, TRUE) != CSTR_EQUAL ||
        !EndsWithIgnoringCase(name, length, same.suffix))
        return true;
    char narrow[MAX_PATH], path[MAX_PATH];
    BOOL lossy = FALSE;
    if (!WideCharToMultiByte(CP_ACP, 0, name, -1, narrow, sizeof narrow, nullptr, &lossy) || lossy ||
        !JoinPath(path, sizeof path, same.dir, narrow))
        return true;
    ScopedHandle file(OpenInLogFolder(same.folder, narrow, path, DELETE | FILE_WRITE_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, kOpenExisting));
    if (file.Valid()) RemoveOpenObject(file.Get());
    return true;
}

// Removes this weekday's files of one log from earlier weeks: the first line of
// a day is what limits a log to one week. The held folder itself is listed.
void RemoveSameWeekday(HANDLE folder, const char* dir, const char* stem, unsigned weekday) {
    SameWeekday same = {folder, dir, {0}, {0}};
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, stem, -1, same.stem, MAX_PATH)) return;
    // "%02u.log" by hand: the wide printf family would add 12 KB to Setup.exe.
    wcscpy(same.suffix, L"00.log");
    same.suffix[0] = (wchar_t)(same.suffix[0] + weekday / 10 % 10);
    same.suffix[1] = (wchar_t)(same.suffix[1] + weekday % 10);
    ForEachEntry(folder, RemoveIfSameWeekday, &same);
}

// Opens the log folder itself and holds it, creating it when missing. It shares
// no deletion or writing while a line is written: nobody renames it away, nor
// opens it to change it (into a mount point, say). Invalid when it is not the
// real folder of that name: a link would have the day's file made elsewhere.
HANDLE HoldLogFolder(const char* dir) {
    const DWORD access = FILE_LIST_DIRECTORY, share = FILE_SHARE_READ;
    ObjectKind kind;
    HANDLE folder = OpenNamedObject(dir, access, share, &kind);
    if (kind == kObjectMissing) {
        // Made and opened in one call, with default security, as every writer
        // of the client's logs makes it.
        folder = OpenRelative(nullptr, dir, access | FILE_READ_ATTRIBUTES, share, kCreateNew, kDirectoryOnly);
        if (folder != INVALID_HANDLE_VALUE) return folder;
        folder = OpenNamedObject(dir, access, share, &kind); // another writer was first
    }
    if (kind == kObjectDirectory) return folder;
    if (folder != INVALID_HANDLE_VALUE) CloseHandle(folder);
    return INVALID_HANDLE_VALUE;
}

void WriteLine(const char* dir, const LogKind& kind, const char* message) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char name[MAX_PATH], path[MAX_PATH];
    int n = snprintf(name, sizeof name, "%s%04u%02u%02u%02u.log", kind.stem, now.wYear, now.wMonth, now.wDay,
                     now.wDayOfWeek);
    if (n < 0 || (size_t)n >= sizeof name || !JoinPath(path, sizeof path, dir, name)) return;

    // Every file is opened or made by its name inside the held folder, never
    // by a path that could be sent elsewhere. A name that is not the plain
    // file it claims to be loses the line, and so does a file that is there
    // but cannot be opened; no file of that name makes this the first line of
    // the day.
    ScopedHandle folder(HoldLogFolder(dir));
    if (!folder.Valid()) return;
    ScopedHandle file(OpenExistingLog(folder.Get(), name, path));
    if (!file.Valid() && GetLastError() == ERROR_FILE_NOT_FOUND) {
        RemoveSameWeekday(folder.Get(), dir, kind.stem, now.wDayOfWeek);
        file.Reset(OpenInLogFolder(folder.Get(), name, path, GENERIC_WRITE, FILE_SHARE_READ, kCreateNew));
        // Another writer may have created it in the meantime.
        if (!file.Valid() && GetLastError() == ERROR_ALREADY_EXISTS)
            file.Reset(OpenExistingLog(folder.Get(), name, path));
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
