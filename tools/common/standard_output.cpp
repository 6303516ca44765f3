#include "standard_output.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include "exit_codes.h"

namespace tools {

int FinishStandardOutput(const char* tool, int code) {
    errno = 0;
    bool ok = fflush(stdout) == 0 && !ferror(stdout);
    int err = errno;
    if (fclose(stdout) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok) return code;
    fprintf(stderr, "%s: cannot write standard output: %s\n", tool, err ? strerror(err) : "a write failed");
    return code == kExitOk ? kExitIo : code;
}

}  // namespace tools
