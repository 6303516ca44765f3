#include "version.h"

#include <stdio.h>

#ifndef KIVRA_TOOLS_COMMIT
#define KIVRA_TOOLS_COMMIT "unknown"
#endif

namespace tools {

const char kToolsVersion[] = "1.1";

void PrintVersion(const char* tool) { printf("%s %s (commit %s)\n", tool, kToolsVersion, KIVRA_TOOLS_COMMIT); }

}  // namespace tools
