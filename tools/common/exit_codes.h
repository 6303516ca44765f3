// The exit codes of the build-side tools (kpack, vrftool, klog): one table, so
// that a release script reads every tool's code the same way. The README holds
// it; docs/pack-tool.md, docs/integrity-tool.md and docs/log-reader.md say
// what each code means for their tool. The numbers are stable.
#pragma once

namespace tools {

enum ExitCode {
    kExitOk = 0,              // done; a checked pack or pair is sound
    kExitIo = 1,              // a file, a folder or standard output could not be read or written
    kExitUsage = 2,           // bad command line
    kExitInputRefused = 3,    // an input is not what the tool takes, or beyond its limits
    kExitOutputRefused = 4,   // writing the output would overwrite or break something
    kExitCheckFailed = 5,     // the checked pack is damaged, or the pair does not verify
    kExitCipher = 6,          // the cipher refused the text
    kExitRandom = 7,          // the system gave no random bytes
};

// The table as the tools' --help prints it, one line per code.
extern const char kExitCodeHelp[];

}  // namespace tools
