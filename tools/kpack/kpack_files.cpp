#include "kpack_files.h"

#include "exit_codes.h"

namespace kpack {

Result Fail(int code, const std::string& message) {
    Result r;
    r.code = code;
    r.message = message;
    return r;
}

Result CannotRead(const std::string& path) { return Fail(kIoError, "cannot read " + path + ": " + tools::ErrnoText()); }

Result CannotWrite(const std::string& path) { return Fail(kIoError, "cannot write " + path + ": " + tools::ErrnoText()); }

File OpenForReading(const std::string& path) { return File(std::fopen(path.c_str(), "rb")); }

Result OpenOutput(tools::OutputFile& out, const tools::OutputRule& rule) {
    std::string error;
    const int code = out.Open(rule, &error);
    return code == tools::kExitOk ? Result() : Fail(code, error);
}

Result CommitOutput(tools::OutputFile& out) {
    std::string error;
    return out.Commit(&error) == tools::kExitOk ? Result() : Fail(kIoError, error);
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    return s;
}

}  // namespace kpack
