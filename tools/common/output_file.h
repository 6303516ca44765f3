// Outputs of the build-side tools are written to a temporary file beside the
// target and renamed over it only when complete: a failed run leaves the old
// file as it was and no half-written one. The temporary name is unique per run,
// so two runs that write beside each other do not collide.
#pragma once
#include <cstdio>
#include <string>

namespace tools {

class OutputFile {
public:
    explicit OutputFile(const std::string& target) : target_(target) {}
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Creates the temporary file, open for writing and reading back. On
    // failure, error names the target and the reason.
    bool Open(std::string* error);
    std::FILE* get() const { return file_; }
    // Flushes and closes the temporary file and renames it over the target.
    bool Commit(std::string* error);

private:
    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// True when both paths name one existing file ("./a.ini" and "a.ini", or two
// links to it), whatever their spelling.
bool SameFile(const std::string& a, const std::string& b);

// The system's text for errno.
std::string ErrnoText();

}  // namespace tools
