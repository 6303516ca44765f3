#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "exit_codes.h"
#include "interrupt_cleanup.h"

namespace tools {
namespace {

#ifdef _WIN32
// Creates path, which must not exist, open for reading and writing. Deletion
// is shared, so that an interrupt can remove the name while it is open.
int CreateNew(const std::string& path) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        errno = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? EEXIST
              : error == ERROR_ACCESS_DENIED                                 ? EACCES
              : error == ERROR_PATH_NOT_FOUND || error == ERROR_FILE_NOT_FOUND ? ENOENT
                                                                               : EIO;
        return -1;
    }
    int fd = _open_osfhandle((intptr_t)h, _O_RDWR | _O_BINARY);
    if (fd < 0) CloseHandle(h);
    return fd;
}
// This process's id, for temporary names.
int ProcessId() { return _getpid(); }
// Flushes the file's written data through to the disk.
bool FlushToDisk(std::FILE* f) { return _commit(_fileno(f)) == 0; }
// Renames from over to, an existing to included; errno says why not.
bool Replace(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}
// A stream over a descriptor open for reading and writing; null on failure.
std::FILE* Stream(int fd) { return _fdopen(fd, "w+b"); }
// Closes a descriptor that no stream took.
void CloseFd(int fd) { _close(fd); }
#else
// Creates path, which must not exist and is no link, open for reading and writing.
int CreateNew(const std::string& path) {
    return open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0666);
}
int ProcessId() { return (int)getpid(); }
bool FlushToDisk(std::FILE* f) { return fsync(fileno(f)) == 0; }
bool Replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
std::FILE* Stream(int fd) { return fdopen(fd, "w+b"); }
void CloseFd(int fd) { close(fd); }
#endif

}  // namespace

std::string ErrnoText() { return std::strerror(errno); }

std::string TemporaryNameBeside(const std::string& target, int attempt) {
#ifdef _WIN32
    const size_t slash = target.find_last_of("/\\");
#else
    const size_t slash = target.find_last_of('/');
#endif
    const std::string folder = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    return folder + ".kivra-" + std::to_string(ProcessId()) + "-" + std::to_string(attempt) + ".tmp";
}

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty() && !committed_) {
        std::remove(temp_.c_str());
        ForgetTemporary(temp_.c_str());
    }
}

int OutputFile::Open(const OutputRule& rule, std::string* error) {
    int refused = CheckOutput(target_, rule, error);
    if (refused != kExitOk) return refused;
    // The process id keeps concurrent runs apart; the counter steps over a
    // leftover of an earlier run that had the same id.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        temp_ = TemporaryNameBeside(target_, attempt);
        // Registered before it exists: an interrupt at any moment removes it.
        if (!RegisterTemporary(temp_.c_str())) {
            temp_.clear();
            *error = "cannot write " + target_ + ": too many outputs at once";
            return kExitIo;
        }
        int fd = CreateNew(temp_);
        if (fd < 0) {
            const int err = errno;
            ForgetTemporary(temp_.c_str());
            temp_.clear();
            if (err == EEXIST) continue;
            errno = err;
            *error = "cannot write " + target_ + ": " + ErrnoText();
            return kExitIo;
        }
        file_ = Stream(fd);
        if (!file_) {
            CloseFd(fd);
            *error = "cannot write " + target_ + ": " + ErrnoText();
            return kExitIo;  // the destructor removes the file
        }
        return kExitOk;
    }
    *error = "cannot write " + target_ + ": no free temporary name beside it";
    return kExitIo;
}

bool OutputFile::Write(const void* data, size_t size) { return std::fwrite(data, 1, size, file_) == size; }

int OutputFile::Commit(std::string* error) {
    errno = 0;
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && FlushToDisk(file_);
    int err = errno;
    if (std::fclose(file_) != 0 && ok) {
        ok = false;
        err = errno;
    }
    file_ = nullptr;
    if (!ok) {
        *error = "cannot write " + target_ + ": " + (err ? std::strerror(err) : "a write failed");
        return kExitIo;
    }
    if (!Replace(temp_, target_)) {
        *error = "cannot write " + target_ + ": cannot rename its temporary file to it: " + ErrnoText();
        return kExitIo;
    }
    ForgetTemporary(temp_.c_str());
    committed_ = true;
    return kExitOk;
}

}  // namespace tools
