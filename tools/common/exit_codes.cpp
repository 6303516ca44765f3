#include "exit_codes.h"

namespace tools {

const char kExitCodeHelp[] =
    "exit codes (one table for kpack, vrftool and klog):\n"
    "  0 done; a checked pack reads to its end, a checked pair verifies\n"
    "  1 a file, a folder or standard output could not be read or written\n"
    "  2 bad command line\n"
    "  3 an input is refused: not what the tool takes, or beyond its limits\n"
    "  4 the output is refused: it is an input, lies in an input folder, is a\n"
    "    folder, is a file the tool did not write, or would break the carrier\n"
    "  5 a check failed: the pack is damaged, or the pair does not verify\n"
    "  6 the cipher refused the text\n"
    "  7 the system gave no random bytes\n";

}  // namespace tools
