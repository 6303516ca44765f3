// Outputs of the build-side tools are written to a temporary file beside the
// target and renamed over it only when complete: a failed or interrupted run
// leaves the old file as it was and no half-written one. The temporary name is
// short (a long target name still fits beside it) and unique per run, so two
// runs that write beside each other do not collide.
#pragma once
#include <stddef.h>

#include <cstdio>
#include <string>

#include "output_guard.h"

namespace tools {

class OutputFile {
public:
    explicit OutputFile(const std::string& target) : target_(target) {}
    // Removes the temporary file unless it was committed.
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // Judges the target by rule (CheckOutput), then creates the temporary
    // file, open for writing and reading back, so that a folder that is
    // missing or cannot be written shows before any work. Returns kExitOk, or
    // kExitOutputRefused or kExitIo with the reason in *error.
    int Open(const OutputRule& rule, std::string* error);
    std::FILE* get() const { return file_; }
    // Writes size bytes; false when they were not all written.
    bool Write(const void* data, size_t size);
    // Flushes the temporary file to the disk and closes it, checking each
    // step, then renames it over the target. Returns kExitOk, or kExitIo with
    // the reason in *error (the destructor then removes the temporary file).
    int Commit(std::string* error);

private:
    std::string target_;
    std::string temp_;
    std::FILE* file_ = nullptr;
    bool committed_ = false;
};

// The temporary name for an output named target in the same folder: the
// folder part of target, then ".kivra-PID-N.tmp".
std::string TemporaryNameBeside(const std::string& target, int attempt);

// The system's text for errno.
std::string ErrnoText();

}  // namespace tools
