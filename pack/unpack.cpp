#include "pack/unpack.h"

#include <stdint.h>
#include <string.h>

#include "log/log.h"
#include "pack/file_io.h"
#include "pack/pack_format.h"
#include "pack/pack_walk.h"
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

// The carrier as the pack walk reads it, through g_unpackReadFile; keeps the
// system's error of a read that failed.
class HandleSource : public pack::Source {
public:
    explicit HandleSource(HANDLE file) : file_(file), error_(0) {}
    int Read(void* buffer, uint32_t length, uint32_t* got) override {
        DWORD n = 0;
        if (!g_unpackReadFile(file_, buffer, length, &n, nullptr)) {
            error_ = GetLastError();
            return 0;
        }
        *got = n;
        return 1;
    }
    DWORD Error() const { return error_; }

private:
    HANDLE file_;
    DWORD error_;
};

// The carrier's size from its handle: 1 with both words, 0 when the query
// fails or the handle is a directory.
int HandleSize(HANDLE file, DWORD* high, DWORD* low) {
    // Not GetFileInformationByHandle: it also asks for the volume's serial
    // number, a round trip of about a millisecond under Wine.
    FILE_STANDARD_INFO info;
    if (!GetFileInformationByHandleEx(file, FileStandardInfo, &info, sizeof info) || info.Directory)
        return 0;
    *high = (DWORD)((uint64_t)info.EndOfFile.QuadPart >> 32);
    *low = (DWORD)info.EndOfFile.QuadPart;
    return 1;
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

// Joins the record's name to the destination, opens it for writing into
// output and logs the path. Returns 0 when the path does not fit.
int OpenOutput(const char* pszDstPath, const char* name, ScopedHandle* output) {
    char dstAbsFile[kPathBuffer];
    if (!JoinPath(dstAbsFile, sizeof dstAbsFile, pszDstPath, name)) return 0;
    output->Reset(utl_NewOrOpenFileForWrite(dstAbsFile));
    ModuleLogF(kCategory, "utl_FileUnpack: szDstAbsFile = %s", dstAbsFile);
    return 1;
}

// The lines and the code of a walk that stopped short.
int Stopped(const pack::Walk& walk, const HandleSource& source, const char* pszDstPath, DWORD* err) {
    switch (walk.why) {
        case pack::kWhyMarker:
            ModuleLog(kCategory, "17", 0);
            break;
        case pack::kWhyNameLengthCut:
            if (walk.readFailed)
                ModuleLogF(kCategory, "utl_FileUnpack: ReadFile failed with err. %d", (int)source.Error());
            break;
        case pack::kWhyNameRefused: {
            char shown[pack::kMaxNameLen + 1];
            Printable(walk.name, shown, sizeof shown);
            ModuleLogF(kCategory, "utl_FileUnpack: file name not allowed: %s", shown);
            break;
        }
        case pack::kWhyNameEmpty: {
            // The empty name names the destination itself. Its path is logged
            // as every output's is, but it is never opened: nothing may be
            // written to the directory.
            char dstAbsFile[kPathBuffer];
            if (JoinPath(dstAbsFile, sizeof dstAbsFile, pszDstPath, ""))
                ModuleLogF(kCategory, "utl_FileUnpack: szDstAbsFile = %s", dstAbsFile);
            break;
        }
        default:
            break;
    }
    return Fail(err, pack::StopCode(walk.why));
}

// Walks the pack from the carrier's current position, logging each step and
// writing each file into pszDstPath. Returns 1 when the pack read to its end.
int UnpackRecords(pack::Walk* walk, HANDLE carrier, const char* pszDstPath, DWORD* err) {
    HandleSource source(carrier);
    // At most one output is open; each record's closes before the next begins.
    ScopedHandle output;
    for (;;) {
        switch (pack::WalkNext(walk, &source)) {
            case pack::kStepMarker:
                ModuleLogF(kCategory, "utl_FileUnpack: dwCurTotalLen = %d", (int)walk->total);
                break;
            case pack::kStepRecord:
                ModuleLogF(kCategory, "utl_FileUnpack: unpack time = %d", (int)walk->record);
                break;
            case pack::kStepNameLength:
                ModuleLogF(kCategory,
                           "utl_FileUnpack: dwBufDataLen = %d dwCurFileNameLen = %d sizeof(DWORD) = %d",
                           (int)walk->got, (int)walk->nameLen, (int)sizeof(DWORD));
                break;
            case pack::kStepLengths:
                ModuleLogF(kCategory, "utl_FileUnpack: dwCurTotalLen = %d", (int)(DWORD)walk->total);
                break;
            case pack::kStepName:
                if (!OpenOutput(pszDstPath, walk->name, &output)) return Fail(err, 161);
                if (!output.Valid()) return Fail(err, 165);
                break;
            case pack::kStepData: {
                DWORD written = 0;
                if (!g_unpackWriteFile(output.Get(), walk->data, walk->chunk, &written, nullptr) ||
                    written != walk->chunk)
                    return Fail(err, 157);
                break;
            }
            case pack::kStepFileDone:
                output.Reset();
                break;
            case pack::kStepEnd:
                // The end record is opened like a file's, so it leaves an empty
                // file of its name.
                if (!OpenOutput(pszDstPath, walk->name, &output)) return Fail(err, 161);
                ModuleLog(kCategory, "utl_FileUnpack: The file is end.", 0);
                return 1;
            case pack::kStepFilled:
                return 1;
            case pack::kStepStop:
                return Stopped(*walk, source, pszDstPath, err);
        }
    }
}

// utl_FileUnpack and utl_FileUnpackByHandle in one: held is the carrier open
// already, or null to find, size and open it by its name.
int Unpack(HANDLE held, const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
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
    if (!held && !FileExists(srcAbsFile)) return Fail(err, 152);
    if (!DirExists(pszDstPath)) return Fail(err, 158);

    DWORD sizeHigh = 0, sizeLow = 0;
    int sized = held ? HandleSize(held, &sizeHigh, &sizeLow) : utl_GetFileSize(srcAbsFile, &sizeHigh, &sizeLow);
    ModuleLogF(kCategory, "utl_FileUnpack: dwSizeHigh = %d dwSizeLow = %d", (int)sizeHigh,
               (int)sizeLow);
    pack::Walk walk;
    if (!sized || !pack::WalkBegin(&walk, ((uint64_t)sizeHigh << 32) | sizeLow, dwOffset, dstLen))
        return Fail(err, 155);
    ModuleLogF(kCategory, "utl_FileUnpack: dwSizeLow = dwSizeLow - dwOffset= %d", (int)walk.region);

    ScopedHandle opened;
    if (!held) {
        opened.Reset(utl_OpenFileForRead(srcAbsFile));
        if (!opened.Valid()) return Fail(err, 156);
    }
    HANDLE carrier = held ? held : opened.Get();
    // The high word is passed so that offsets of 2 GiB and more are not taken
    // as negative distances.
    LONG offsetHigh = 0;
    if (SetFilePointer(carrier, (LONG)dwOffset, &offsetHigh, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        return Fail(err, 159);
    return UnpackRecords(&walk, carrier, pszDstPath, err);
}

}  // namespace

int utl_FileUnpack(const char* pszSrcPath, const char* pszSrcFile, const char* pszDstPath,
                   DWORD* err, DWORD dwOffset) {
    return Unpack(nullptr, pszSrcPath, pszSrcFile, pszDstPath, err, dwOffset);
}

int utl_FileUnpackByHandle(HANDLE hCarrier, const char* pszSrcPath, const char* pszSrcFile,
                           const char* pszDstPath, DWORD* err, DWORD dwOffset) {
    // A null handle must not turn into an open by name.
    if (!hCarrier) hCarrier = INVALID_HANDLE_VALUE;
    return Unpack(hCarrier, pszSrcPath, pszSrcFile, pszDstPath, err, dwOffset);
}
