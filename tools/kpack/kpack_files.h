// What kpack's operations share inside the tool: their failures in kpack's
// words and the files they read.
#pragma once
#include <cstdio>
#include <memory>
#include <string>

#include "kpack.h"
#include "output_file.h"

namespace kpack {

// A failed Result with code and message.
Result Fail(int code, const std::string& message);

// A failed read or write, naming the file and the system's reason.
Result CannotRead(const std::string& path);
Result CannotWrite(const std::string& path);

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens path for reading in binary mode; null with errno set on failure.
File OpenForReading(const std::string& path);

// Judges output by rule and creates its temporary file, before any work.
Result OpenOutput(tools::OutputFile& out, const tools::OutputRule& rule);

// Finishes an output: kIoError when it could not be written whole.
Result CommitOutput(tools::OutputFile& out);

// ASCII letters in lower case: names as Windows compares them.
std::string Lower(std::string s);

}  // namespace kpack
