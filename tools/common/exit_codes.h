// The exit codes of the build-side tools (kpack, vrftool, klog): one table, so
// that a release script reads every tool's code the same way. Documented in
// docs/pack-tool.md, docs/integrity-tool.md and docs/log-reader.md; the numbers
// are stable.
#pragma once

namespace tools {

enum ExitCode {
    kExitOk = 0,              // done; a checked pack or pair is sound
    kExitIo = 1,              // a file could not be read or written
    kExitUsage = 2,           // bad command line
    kExitInputRefused = 3,    // an input is beyond what the tool may take
    kExitOutputRefused = 4,   // writing the output would overwrite or break something
    kExitCheckFailed = 5,     // the checked pack is damaged, or the pair does not verify
    kExitCipher = 6,          // the cipher refused the text
    kExitRandom = 7,          // the system gave no random bytes
};

}  // namespace tools
