#include "platform/named_object.h"

#include <string.h>

#include "platform/open_relative.h"

// The records set and queried through a handle, as the system lays them out
// on every build.
static_assert(sizeof(FILE_BASIC_INFO) == 40, "FILE_BASIC_INFO");
static_assert(sizeof(FILE_STANDARD_INFO) == 24, "FILE_STANDARD_INFO");
static_assert(sizeof(FILE_DISPOSITION_INFO) == 1, "FILE_DISPOSITION_INFO");

namespace {

// The heads that GetFinalPathNameByHandle puts before a drive path and before
// a share's path ("\\?\UNC\server\share", for "\\server\share").
const wchar_t kLongPathHead[] = L"\\\\?\\";
const size_t kLongPathHeadLen = 4;
const wchar_t kLongUncHead[] = L"\\\\?\\UNC\\";
const size_t kLongUncHeadLen = 8;

// The object's final path as a drive path, or a share's path, or false.
bool FinalPathW(HANDLE object, wchar_t* out, DWORD size) {
    DWORD n = GetFinalPathNameByHandleW(object, out, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= size) return false;
    if (wcsncmp(out, kLongUncHead, kLongUncHeadLen) == 0) {
        memmove(out + 2, out + kLongUncHeadLen, (n - kLongUncHeadLen + 1) * sizeof(wchar_t));
    } else if (wcsncmp(out, kLongPathHead, kLongPathHeadLen) == 0) {
        memmove(out, out + kLongPathHeadLen, (n - kLongPathHeadLen + 1) * sizeof(wchar_t));
    }
    return true;
}

// The object's kind by its attributes and its count of names.
ObjectKind KindByAttributes(const FILE_BASIC_INFO& basic, const FILE_STANDARD_INFO& standard) {
    if (basic.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return kObjectLink;
    if (basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) return kObjectDirectory;
    return standard.NumberOfLinks == 1 ? kObjectFile : kObjectElsewhere;
}

// The two small queries, not GetFileInformationByHandle: that one also asks
// for the volume's serial number, which costs Wine a round trip to its mount
// manager (about 0.8 ms, where these take microseconds), and every log line
// comes through here.
bool QueryKindFacts(HANDLE object, FILE_BASIC_INFO* basic, FILE_STANDARD_INFO* standard) {
    return GetFileInformationByHandleEx(object, FileBasicInfo, basic, sizeof *basic) &&
           GetFileInformationByHandleEx(object, FileStandardInfo, standard, sizeof *standard);
}

} // namespace

namespace {

// The kind of what an open by name gave: missing or unavailable when it failed
// (as its last error tells), else as measured against path.
ObjectKind KindOfOpened(HANDLE object, const char* path) {
    if (object != INVALID_HANDLE_VALUE) return KindOfOpenObject(object, path);
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? kObjectMissing : kObjectUnavailable;
}

} // namespace

int FinalPathOf(HANDLE object, char* out, size_t size) {
    wchar_t final[MAX_PATH + 8];
    if (!out || size == 0 || !FinalPathW(object, final, MAX_PATH + 8)) return 0;
    BOOL lossy = FALSE;
    int n = WideCharToMultiByte(CP_ACP, 0, final, -1, out, (int)size, nullptr, &lossy);
    if (n == 0 || lossy) {
        out[0] = '\0';
        return 0;
    }
    return 1;
}

ObjectKind KindOfOpenObject(HANDLE object, const char* expected) {
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    wchar_t final[MAX_PATH + 8], wanted[MAX_PATH + 1];
    if (!QueryKindFacts(object, &basic, &standard) || !FinalPathW(object, final, MAX_PATH + 8) ||
        !MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, expected, -1, wanted, MAX_PATH + 1))
        return kObjectUnavailable;
    // Paths compare without regard to letter case, as the file system does;
    // an ordinal comparison keeps DBCS trail bytes from being folded.
    if (CompareStringOrdinal(final, -1, wanted, -1, TRUE) != CSTR_EQUAL) return kObjectElsewhere;
    return KindByAttributes(basic, standard);
}

HANDLE OpenNamedObject(const char* path, DWORD access, DWORD share, ObjectKind* kind) {
    // Identification at most: a pipe server at the name can never act as
    // this (elevated) process.
    HANDLE object = CreateFileA(path, access | FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS |
                                    SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                                nullptr);
    *kind = KindOfOpened(object, path);
    return object;
}

HANDLE OpenNamedObjectIn(HANDLE dir, const char* name, const char* path, DWORD access, DWORD share,
                         ObjectKind* kind) {
    HANDLE object = OpenRelative(dir, name, access | FILE_READ_ATTRIBUTES, share, kOpenExisting, kAnyObject);
    *kind = KindOfOpened(object, path);
    return object;
}

int RemoveOpenObject(HANDLE object) {
    FILE_BASIC_INFO basic = {}; // zero times: left as they are
    basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(object, FileBasicInfo, &basic, sizeof basic);
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetFileInformationByHandle(object, FileDispositionInfo, &disposition, sizeof disposition) ? 1 : 0;
}
