#include "output_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
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
#include <unistd.h>
#endif

namespace tools {
namespace {

#ifdef _WIN32
int CreateNew(const std::string& path) {
    return _open(path.c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _S_IREAD | _S_IWRITE);
}
int ProcessId() { return _getpid(); }
bool FlushToDisk(std::FILE* f) { return _commit(_fileno(f)) == 0; }
bool Replace(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}
#else
int CreateNew(const std::string& path) {
    return open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0666);
}
int ProcessId() { return (int)getpid(); }
bool FlushToDisk(std::FILE* f) { return fsync(fileno(f)) == 0; }
bool Replace(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }
#endif

}  // namespace

std::string ErrnoText() { return std::strerror(errno); }

OutputFile::~OutputFile() {
    if (file_) std::fclose(file_);
    if (!temp_.empty() && !committed_) std::remove(temp_.c_str());
}

bool OutputFile::Open(std::string* error) {
    // The process id keeps concurrent runs apart; the counter steps over a
    // leftover of an earlier run that had the same id.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::string candidate =
            target_ + ".tmp-" + std::to_string(ProcessId()) + "-" + std::to_string(attempt);
        int fd = CreateNew(candidate);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            *error = "cannot write " + target_ + ": cannot create " + candidate + ": " + ErrnoText();
            return false;
        }
        temp_ = candidate;
#ifdef _WIN32
        file_ = _fdopen(fd, "w+b");
        if (!file_) _close(fd);
#else
        file_ = fdopen(fd, "w+b");
        if (!file_) close(fd);
#endif
        if (!file_) {
            *error = "cannot write " + target_ + ": " + ErrnoText();
            return false;
        }
        return true;
    }
    *error = "cannot write " + target_ + ": no free temporary name beside it";
    return false;
}

bool OutputFile::Commit(std::string* error) {
    bool ok = std::fflush(file_) == 0 && !std::ferror(file_) && FlushToDisk(file_);
    int err = errno;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    if (!ok) {
        errno = err ? err : errno;
        *error = "cannot write " + target_ + ": " + ErrnoText();
        return false;
    }
    if (!Replace(temp_, target_)) {
        *error = "cannot write " + target_ + ": cannot rename " + temp_ + " to it: " + ErrnoText();
        return false;
    }
    committed_ = true;
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

}  // namespace tools
