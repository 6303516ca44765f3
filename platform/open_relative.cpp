#include "platform/open_relative.h"

#include <winternl.h>

#include <stddef.h>

// These records go to ntdll byte for byte. The i686 build that ships lays them
// out with 4-byte pointers, the x86_64 build that some test machines run with
// 8-byte ones; each must be the system's own layout on the build at hand.
constexpr size_t kPointer = sizeof(void*);
static_assert(kPointer == 4 || kPointer == 8, "a 32-bit or a 64-bit build");
static_assert(sizeof(UNICODE_STRING) == (kPointer == 4 ? 8 : 16), "UNICODE_STRING");
static_assert(offsetof(UNICODE_STRING, Buffer) == kPointer, "UNICODE_STRING.Buffer");
static_assert(sizeof(OBJECT_ATTRIBUTES) == (kPointer == 4 ? 24 : 48), "OBJECT_ATTRIBUTES");
static_assert(offsetof(OBJECT_ATTRIBUTES, SecurityQualityOfService) == (kPointer == 4 ? 20 : 40),
              "OBJECT_ATTRIBUTES.SecurityQualityOfService");
static_assert(sizeof(IO_STATUS_BLOCK) == (kPointer == 4 ? 8 : 16), "IO_STATUS_BLOCK");
static_assert(sizeof(SECURITY_QUALITY_OF_SERVICE) == 12, "SECURITY_QUALITY_OF_SERVICE");
static_assert(sizeof(LARGE_INTEGER) == 8, "the allocation size NtCreateFile may read");

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
