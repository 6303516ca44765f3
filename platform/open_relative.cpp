#include "platform/open_relative.h"

#include <winternl.h>

namespace {
const ULONG kOpenReparsePoint = 0x00200000;   // FILE_OPEN_REPARSE_POINT
const ULONG kSynchronousNonAlert = 0x00000020; // FILE_SYNCHRONOUS_IO_NONALERT
const NTSTATUS kNameCollision = (NTSTATUS)0xC0000035L;
} // namespace

HANDLE OpenRelative(HANDLE dir, const char* name, DWORD access, DWORD share, RelativeDisposition disposition,
                    RelativeKind kind, PSECURITY_DESCRIPTOR security) {
    // "\??\" turns a drive path into the native name of the same object.
    wchar_t wide[MAX_PATH + 8] = L"\\??\\";
    const int head = dir ? 0 : 4;
    if (!name || !MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, name, -1, wide + head, MAX_PATH)) {
        SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    UNICODE_STRING native;
    native.Buffer = wide;
    native.Length = (USHORT)(wcslen(wide) * sizeof(wchar_t));
    native.MaximumLength = native.Length + sizeof(wchar_t);
    // Identification at most: a pipe server at the name learns who asks, and
    // can never act as this (elevated) process.
    SECURITY_QUALITY_OF_SERVICE quality = {sizeof quality, SecurityIdentification, SECURITY_STATIC_TRACKING, FALSE};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &native, OBJ_CASE_INSENSITIVE, dir, security);
    attributes.SecurityQualityOfService = &quality;

    HANDLE object = INVALID_HANDLE_VALUE;
    IO_STATUS_BLOCK io;
    NTSTATUS status = NtCreateFile(&object, access | SYNCHRONIZE, &attributes, &io, nullptr, FILE_ATTRIBUTE_NORMAL,
                                   share, disposition, (ULONG)kind | kOpenReparsePoint | kSynchronousNonAlert,
                                   nullptr, 0);
    if (status >= 0) return object;
    SetLastError(status == kNameCollision ? ERROR_ALREADY_EXISTS : RtlNtStatusToDosError(status));
    return INVALID_HANDLE_VALUE;
}
