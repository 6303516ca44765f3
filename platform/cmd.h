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

// Runs program (its full path) with commandLine in directory as a hidden child
// (StartProgram) whose standard output and standard error go into one pipe,
// and reads the pipe to its end. The command line is only what the program
// receives: it is never searched for a program name (an unquoted
// "C:\Scratch Space\..." would otherwise start C:\Scratch.exe). Each chunk read
// is cut at its first NUL byte. Returns 1 when the command ran and its output
// was read (output replaced only when something was read); 0 when the pipe or
// the process could not be made, or the first wait failed (logged under
// category as "GetCmd: ...").
int GetCmd(const char* commandLine, CmdOutput* output, const char* category, const char* program,
           const char* directory);
