// Running a command line hidden and capturing what it prints.
#pragma once
#include <stddef.h>

// A growable NUL-terminated text that owns its bytes; never null when read.
class CmdOutput {
public:
    CmdOutput() : data_(nullptr), length_(0), capacity_(0) {}
    ~CmdOutput();
    CmdOutput(const CmdOutput&) = delete;
    CmdOutput& operator=(const CmdOutput&) = delete;

    const char* Text() const { return data_ ? data_ : ""; }
    // Appends n bytes; false (text unchanged) when memory runs out.
    bool Append(const char* bytes, size_t n);
    void Swap(CmdOutput& other);

private:
    char* data_;
    size_t length_;
    size_t capacity_;
};

// Runs commandLine as a hidden child whose standard output and standard error
// go into one pipe, and reads the pipe to its end. Each chunk read is cut at its
// first NUL byte. Returns 1 when the command ran and its output was read (output
// replaced only when something was read); 0 when the pipe or the process could
// not be made, or the first wait failed (logged under category as "GetCmd: ...").
// program, when given, is the full path of the program to start: the command
// line is then only its arguments' carrier and is never searched for a
// program name (an unquoted "C:\Scratch Space\..." would start C:\Scratch.exe).
int GetCmd(const char* commandLine, CmdOutput* output, const char* category,
           const char* program = nullptr);
