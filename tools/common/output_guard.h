// Where an output of the build-side tools may go: never onto one of the run's
// inputs, never inside an input folder, never onto a folder, and onto an
// existing file only when it is one the tool writes. Judged before any work,
// so that a refused run costs nothing and changes nothing.
#pragma once
#include <string>
#include <vector>

namespace tools {

struct OutputRule {
    std::vector<std::string> inputs;  // the files and folders the run reads
    // Whether the existing, non-empty file at path may be replaced: null lets
    // any plain file be replaced; what names the kind the tool writes.
    bool (*replaceable)(const std::string& path) = nullptr;
    const char* what = "";
};

// Judges target by rule: kExitOk, or kExitOutputRefused with the reason in
// *error. A target that is an input or a link to one, that lies in an input
// folder (also through a link), that is a folder or no plain file, or that
// exists and is not replaceable, is refused.
int CheckOutput(const std::string& target, const OutputRule& rule, std::string* error);

// True when both paths name one existing file ("./a.ini" and "a.ini", or two
// links to it), whatever their spelling.
bool SameFile(const std::string& a, const std::string& b);

// True when path, existing or not, lies inside the existing folder, at any
// depth, once links and ".." in it are resolved.
bool InsideFolder(const std::string& path, const std::string& folder);

}  // namespace tools
