// What --version prints: the tools' version and the commit they were built
// from, the same for kpack, vrftool and klog of one build.
#pragma once

namespace tools {

// The tools' version, raised with each release whose behaviour changes.
extern const char kToolsVersion[];

// Prints "TOOL VERSION (commit C)" on standard output.
void PrintVersion(const char* tool);

}  // namespace tools
