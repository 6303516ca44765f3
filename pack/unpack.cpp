#include "pack/unpack.h"

#include <stdint.h>
#include <string.h>

#include "log/log.h"
#include "pack/file_io.h"
#include "pack/pack_format.h"
#include "platform/fs.h"
#include "platform/handle.h"

UnpackReadFn g_unpackReadFile = ReadFile;
UnpackWriteFn g_unpackWriteFile = WriteFile;

namespace {

const char kCategory[] = "UtlFile";

// Path buffers hold MAX_PATH + 1 bytes: the length checks below allow a joined
// path of 260 characters, which must still fit with its terminator. Such a
// path is then simply refused by the file system.
const size_t kPathBuffer = MAX_PATH + 1;

int Fail(DWORD* err, DWORD code) {
    ModuleLogF(kCategory, "utl_FileUnpack:Err: %d.", (int)code);
    *err = code;
    return 0;
}

// Reads 4 clear bytes into the little-endian field *value, as one read into
// the field would: after a short read it holds the bytes that came over its
// old value. Returns the bytes read, or -1 when the read call itself failed.
int ReadClear32(HANDLE file, uint32_t* value) {
    unsigned char bytes[4];
    pack::WriteLe32(bytes, *value);
    DWORD got = 0;
    if (!g_unpackReadFile(file, bytes, sizeof bytes, &got, nullptr)) return -1;
    *value = pack::ReadLe32(bytes);
    return (int)got;
}

// The name as it may go into a log line: a refused name can hold any byte, and
// a line break in it would forge a line of its own.
void Printable(const char* name, char* out, size_t size) {
    size_t i = 0;
    for (; name[i] && i + 1 < size; ++i) {
        unsigned char c = (unsigned char)name[i];
        out[i] = (c < 0x20 || c == 0x7F) ? '?' : name[i];
    }
    out[i] = '\0';
}

} // namespace

int ReadAndUnmix(HANDLE file, void* buffer, DWORD length) {
    DWORD got = 0;
    if (!g_unpackReadFile(file, buffer, length, &got, nullptr) || got != length) return 0;
    pack::MixBuffer(buffer, length);
    return 1;
}

int utl_FileUnpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                   DWORD* err, DWORD dwOffset) {
    if (!pszSrcPath || !pszSrcFile || !pszDstPath || !err) {
        ModuleLog(kCategory, "utl_FileUnpack:Err: 150.", 0);
        if (err) *err = 150;
        return 0;
    }
    ModuleLogF(kCategory, "utl_FileUnpack: pszSrcPath = %s pszSrcFile = %s pszDstPath = %s",
               pszSrcPath, pszSrcFile, pszDstPath);

    const size_t dstLen = strlen(pszDstPath);
    if (strlen(pszSrcPath) + strlen(pszSrcFile) >= MAX_PATH || dstLen >= MAX_PATH)
        return Fail(err, 151);

    char srcAbsFile[kPathBuffer];
    if (!JoinPath(srcAbsFile, sizeof srcAbsFile, pszSrcPath, pszSrcFile)) return Fail(err, 151);
    ModuleLogF(kCategory, "utl_FileUnpack: szSrcAbsFile = %s", srcAbsFile);
    if (!FileExists(srcAbsFile)) return Fail(err, 152);
    if (!DirExists(pszDstPath)) return Fail(err, 158);

    DWORD sizeHigh = 0, sizeLow = 0;
    int sized = utl_GetFileSize(srcAbsFile, &sizeHigh, &sizeLow);
    ModuleLogF(kCategory, "utl_FileUnpack: dwSizeHigh = %d dwSizeLow = %d", (int)sizeHigh,
               (int)sizeLow);
    if (!sized || sizeHigh != 0 || dwOffset >= sizeLow) return Fail(err, 155);

    const DWORD region = sizeLow - dwOffset;
    ModuleLogF(kCategory, "utl_FileUnpack: dwSizeLow = dwSizeLow - dwOffset= %d", (int)region);

    ScopedHandle carrier(utl_OpenFileForRead(srcAbsFile));
    if (!carrier.Valid()) return Fail(err, 156);
    // The high word is passed so that offsets of 2 GiB and more are not taken
    // as negative distances.
    LONG offsetHigh = 0;
    if (SetFilePointer(carrier.Get(), (LONG)dwOffset, &offsetHigh, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return Fail(err, 159);

    // One buffer for the marker, the names and the data.
    char buffer[pack::kChunkLen];
    if (!ReadAndUnmix(carrier.Get(), buffer, pack::kMarkerLen)) return Fail(err, 159);
    if (memcmp(buffer, pack::kMarker, pack::kMarkerLen) != 0) {
        ModuleLog(kCategory, "17", 0);
        return Fail(err, 160);
    }

    // The running total is kept in 64 bits: two large length fields must not
    // wrap it round to a small number that seems to fit the region.
    uint64_t total = pack::kMarkerLen;
    ModuleLogF(kCategory, "utl_FileUnpack: dwCurTotalLen = %d", (int)total);
    for (int k = 1; total < region; ++k) {
        ModuleLogF(kCategory, "utl_FileUnpack: unpack time = %d", k);

        uint32_t nameLen = 0;
        int got = ReadClear32(carrier.Get(), &nameLen);
        if (got < 0) {
            ModuleLogF(kCategory, "utl_FileUnpack: ReadFile failed with err. %d", (int)GetLastError());
            return Fail(err, 161);
        }
        ModuleLogF(kCategory,
                   "utl_FileUnpack: dwBufDataLen = %d dwCurFileNameLen = %d sizeof(DWORD) = %d", got,
                   (int)nameLen, (int)sizeof(DWORD));
        if (got != 4 || nameLen > pack::kMaxNameLen || nameLen + dstLen >= MAX_PATH)
            return Fail(err, 161);

        uint32_t dataLen = 0;
        if (ReadClear32(carrier.Get(), &dataLen) != 4) return Fail(err, 162);

        total += (uint64_t)nameLen + dataLen + pack::kRecordHeadLen;
        ModuleLogF(kCategory, "utl_FileUnpack: dwCurTotalLen = %d", (int)(DWORD)total);
        if (total > region) return Fail(err, 163);

        if (!ReadAndUnmix(carrier.Get(), buffer, nameLen)) return Fail(err, 164);
        buffer[nameLen] = '\0';

        // An empty name goes on to the open, which names the destination
        // directory itself and fails (165 below); it cannot leave it.
        if (nameLen != 0 && !pack::IsSafeRecordName(buffer, nameLen, 1)) {
            char shown[pack::kMaxNameLen + 1];
            Printable(buffer, shown, sizeof shown);
            ModuleLogF(kCategory, "utl_FileUnpack: file name not allowed: %s", shown);
            return Fail(err, 161);
        }

        char dstAbsFile[kPathBuffer];
        if (!JoinPath(dstAbsFile, sizeof dstAbsFile, pszDstPath, buffer)) return Fail(err, 161);
        ScopedHandle output(utl_NewOrOpenFileForWrite(dstAbsFile));
        ModuleLogF(kCategory, "utl_FileUnpack: szDstAbsFile = %s", dstAbsFile);

        // The end record is opened like any other before this test, so it
        // leaves an empty file of its name; its data length is not consumed.
        if (pack::IsEndName(buffer, nameLen)) {
            ModuleLog(kCategory, "utl_FileUnpack: The file is end.", 0);
            return 1;
        }
        // Should the directory itself ever open, nothing is written to it.
        if (!output.Valid() || nameLen == 0) return Fail(err, 165);

        for (uint32_t done = 0; done < dataLen;) {
            DWORD chunk = dataLen - done < pack::kChunkLen ? dataLen - done : pack::kChunkLen;
            if (!ReadAndUnmix(carrier.Get(), buffer, chunk)) return Fail(err, 166);
            DWORD written = 0;
            if (!g_unpackWriteFile(output.Get(), buffer, chunk, &written, nullptr) || written != chunk)
                return Fail(err, 157);
            done += chunk;
        }
    }
    return 1;
}
