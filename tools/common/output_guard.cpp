#include "output_guard.h"

#include <filesystem>
#include <system_error>

#include "exit_codes.h"

namespace fs = std::filesystem;

namespace tools {

namespace {

// The path with its links and ".." resolved as far as it exists.
fs::path Resolved(const std::string& path) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) return fs::path(path).lexically_normal();
    fs::path resolved = fs::weakly_canonical(absolute, ec);
    return ec ? absolute.lexically_normal() : resolved;
}

// Sets *error to the refusal of target for why; returns the refusal's code.
int Refuse(const std::string& target, const std::string& why, std::string* error) {
    *error = "will not write " + target + ": " + why;
    return kExitOutputRefused;
}

}  // namespace

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

bool InsideFolder(const std::string& path, const std::string& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return false;
    fs::path p = Resolved(path).parent_path();
    for (;;) {
        if (fs::equivalent(p, folder, ec) && !ec) return true;
        const fs::path up = p.parent_path();
        if (up.empty() || up == p) return false;
        p = up;
    }
}

int CheckOutput(const std::string& target, const OutputRule& rule, std::string* error) {
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    if (fs::is_directory(status)) return Refuse(target, "it is a folder; name a file", error);
    for (const std::string& input : rule.inputs) {
        if (SameFile(target, input)) return Refuse(target, "it is " + input + ", an input of this run", error);
        if (InsideFolder(target, input))
            return Refuse(target, "it lies inside " + input + ", an input folder of this run", error);
    }
    if (!fs::exists(status)) return kExitOk;
    if (!fs::is_regular_file(status)) return Refuse(target, "it is not a plain file", error);
    const uintmax_t size = fs::file_size(target, ec);
    if (rule.replaceable && (ec || size != 0) && !rule.replaceable(target))
        return Refuse(target, std::string("it exists and is not ") + rule.what + "; it is left as it is", error);
    return kExitOk;
}

}  // namespace tools
