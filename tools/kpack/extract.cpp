// kpack extract: a pack's files written into a folder as the setup would
// unpack them, each file under a temporary name until it is whole, never
// through a link and never outside the folder.
#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "interrupt_cleanup.h"
#include "kpack_files.h"
#include "read_pack.h"

namespace fs = std::filesystem;

namespace kpack {

namespace {

const char kIsLink[] = "is a link; extract never writes through a link";

// Where extract writes: a folder opened once. Check judges a name in it
// without following a link; CreateTemp makes a fresh temporary file in it,
// open for writing (its name in *temp), Rename puts it in place, Remove drops
// it. Failures leave errno, or a Windows error, for Why.
#ifdef _WIN32
struct OutputDir {
    std::string path;
    Result Open(const std::string& dir) {
        path = dir;
        DWORD attributes = GetFileAttributesA(dir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryA(dir.c_str(), nullptr)) return Fail(kIoError, "cannot make folder " + dir);
            attributes = GetFileAttributesA(dir.c_str());
        }
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return Fail(kOutputRefused, dir + " " + kIsLink);
        if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return Fail(kOutputRefused, dir + " is not a folder");
        return Result();
    }
    std::string Full(const std::string& name) const { return path + "\\" + name; }
    // "" when name may be written, else why not.
    std::string Check(const std::string& name) const {
        const DWORD attributes = GetFileAttributesA(Full(name).c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) return "";
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return kIsLink;
        return attributes & FILE_ATTRIBUTE_DIRECTORY ? "is not a plain file" : "";
    }
    int CreateTemp(const std::string& temp) {
        // Deletion is shared, so that an interrupt can remove the name.
        HANDLE h = CreateFileA(Full(temp).c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            errno = GetLastError() == ERROR_FILE_EXISTS ? EEXIST : EACCES;
            return -1;
        }
        int fd = _open_osfhandle((intptr_t)h, 0);
        if (fd < 0) CloseHandle(h);
        return fd;
    }
    bool Rename(const std::string& temp, const std::string& name) {
        return MoveFileExA(Full(temp).c_str(), Full(name).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }
    void Remove(const std::string& temp) { DeleteFileA(Full(temp).c_str()); }
};
// A stream over a descriptor open for writing; null on failure.
std::FILE* OpenDescriptor(int fd) { return _fdopen(fd, "wb"); }
// Closes a descriptor that no stream took.
void CloseDescriptor(int fd) { _close(fd); }
// This process's id, for temporary names.
int ProcessId() { return _getpid(); }
// The system's reason for the last failure.
std::string Why() { return "error " + std::to_string(GetLastError()); }
#else
struct OutputDir {
    int fd = -1;
    std::string path;
    ~OutputDir() {
        if (fd >= 0) close(fd);
    }
    Result Open(const std::string& dir) {
        path = dir;
        if (mkdir(dir.c_str(), 0777) != 0 && errno != EEXIST)
            return Fail(kIoError, "cannot make folder " + dir + ": " + tools::ErrnoText());
        fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && (errno == ELOOP || errno == ENOTDIR)) {
            struct stat st;
            bool link = lstat(dir.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
            return Fail(kOutputRefused, dir + (link ? std::string(" ") + kIsLink : " is not a folder"));
        }
        if (fd < 0) return Fail(kIoError, "cannot open folder " + dir + ": " + tools::ErrnoText());
        return Result();
    }
    std::string Full(const std::string& name) const { return path + "/" + name; }
    std::string Check(const std::string& name) const {
        struct stat st;
        if (fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return "";
        if (S_ISLNK(st.st_mode)) return kIsLink;
        return S_ISREG(st.st_mode) ? "" : "is not a plain file";
    }
    int CreateTemp(const std::string& temp) {
        return openat(fd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    }
    // The rename replaces a link planted at name since Check, never its target.
    bool Rename(const std::string& temp, const std::string& name) {
        return renameat(fd, temp.c_str(), fd, name.c_str()) == 0;
    }
    void Remove(const std::string& temp) { unlinkat(fd, temp.c_str(), 0); }
};
// A stream over a descriptor open for writing; null on failure.
std::FILE* OpenDescriptor(int fd) { return fdopen(fd, "wb"); }
// Closes a descriptor that no stream took.
void CloseDescriptor(int fd) { close(fd); }
// This process's id, for temporary names.
int ProcessId() { return (int)getpid(); }
// The system's reason for the last failure.
std::string Why() { return tools::ErrnoText(); }
#endif

// Writes each file record into the output folder, as the setup would into its
// fresh work folder: under a temporary name, renamed when whole; a file cut
// short by a failure or an interrupt is removed.
struct ExtractSink : RecordSink {
    ExtractSink(OutputDir& out, const std::string& dir) : out(out), dir(dir) {}
    ~ExtractSink() override { Abandon(); }

    Result Begin(const ListedRecord& record, const std::string& at) override {
        const std::string key = Lower(record.name);
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            notes.push_back(at + "name " + record.name +
                            " repeats an earlier name (letter case aside); Windows would write both "
                            "into one file, here the later replaces the earlier");
        seen.push_back(key);
        where = at;
        name = record.name;
        const std::string refused = out.Check(name);
        if (!refused.empty()) return Fail(refused == kIsLink ? kOutputRefused : kIoError, at + Shown() + " " + refused);
        for (int attempt = 0; attempt < 1000 && !file; ++attempt) {
            temp = ".kivra-" + std::to_string(ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
            tempPath = out.Full(temp);
            if (!tools::RegisterTemporary(tempPath.c_str())) return WriteFailed();
            const int fd = out.CreateTemp(temp);
            if (fd < 0) {
                const bool taken = errno == EEXIST;
                tools::ForgetTemporary(tempPath.c_str());
                temp.clear();
                if (taken) continue;
                return WriteFailed();
            }
            file.reset(OpenDescriptor(fd));
            if (!file) {
                CloseDescriptor(fd);
                return WriteFailed();
            }
        }
        return file ? Result() : WriteFailed();
    }
    Result Write(const unsigned char* data, uint32_t length) override {
        return std::fwrite(data, 1, length, file.get()) == length ? Result() : WriteFailed();
    }
    Result Finish() override {
        if (std::fclose(file.release()) != 0 || !out.Rename(temp, name)) return WriteFailed();
        tools::ForgetTemporary(tempPath.c_str());
        temp.clear();
        return Result();
    }

    // The record's file as messages name it.
    std::string Shown() const { return dir + "/" + name; }
    // The failure of a write to the current file, with the system's reason.
    Result WriteFailed() const { return Fail(kIoError, where + "cannot write " + Shown() + ": " + Why()); }
    // Drops the file being written, if any.
    void Abandon() {
        file.reset();
        if (temp.empty()) return;
        out.Remove(temp);
        tools::ForgetTemporary(tempPath.c_str());
        temp.clear();
    }

    OutputDir& out;
    const std::string& dir;
    std::vector<std::string> seen;   // the names so far, in lower case
    std::vector<std::string> notes;
    File file;                       // the file being written
    std::string temp, tempPath;      // its temporary name, alone and joined to the folder
    std::string where, name;         // its record, for messages
};

// Whether the carrier's file lies in dir itself, where a record of its name
// would take its place.
bool HoldsCarrier(const std::string& dir, const std::string& carrier) {
    std::error_code ec;
    fs::path real = fs::weakly_canonical(carrier, ec);
    if (ec) real = fs::absolute(carrier, ec);
    return !ec && fs::equivalent(real.parent_path(), dir, ec) && !ec;
}

}  // namespace

Result ExtractPack(const std::string& carrier, uint32_t offset, const std::string& dir, bool force,
                   Listing* listing) {
    *listing = Listing();
    std::error_code ec;
    if (!fs::exists(carrier, ec)) return Fail(kIoError, "cannot read carrier " + carrier + ": it does not exist");
    OutputDir out;
    Result r = out.Open(dir);
    if (!r.ok()) return r;
    if (HoldsCarrier(dir, carrier))
        return Fail(kOutputRefused, "folder " + dir + " holds the carrier " + carrier + "; extract into another folder");
    if (!force && !fs::is_empty(dir, ec))
        return Fail(kOutputRefused, "folder " + dir + " is not empty (give --force to write into it)");
    ExtractSink sink(out, dir);
    r = WalkPack(carrier, offset, listing, sink);
    sink.Abandon();
    listing->notes = sink.notes;
    return r;
}

}  // namespace kpack
