// What the setup's failure codes mean, and the system error codes that its
// command runner reports: one table, for klog show, klog fleet and klog
// explain alike.
#pragma once
#include <stdint.h>

namespace klog {

struct CodeMeaning {
    int64_t code;
    const char* meaning;  // one sentence
    const char* check;    // what to look at
};

// The meaning of a code of "install failed with Err N.", or null when the
// setup has no such code.
const CodeMeaning* SetupCode(int64_t code);

// The meaning of a system error code in "GetCmd: ... Failed with ErrCode:N",
// or null when the table does not list it.
const CodeMeaning* RunnerCode(int64_t code);

// A sentence for a runner code the table does not list.
extern const char kUnlistedRunnerCode[];

}  // namespace klog
