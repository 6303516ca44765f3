#include "custom/common_files.h"

#include <stdio.h>

#include "platform/fs.h"
#include "platform/system_dir.h"

namespace {
char commonProgramFiles[MAX_PATH + 1];
}

void ResetCommonProgramFilesCache() { commonProgramFiles[0] = '\0'; }

const char* utl_GetCommonProgramFiles() {
    if (commonProgramFiles[0]) return commonProgramFiles;
    DWORD len = GetEnvironmentVariableA("CommonProgramFiles", commonProgramFiles, sizeof commonProgramFiles);
    // A value too long for the buffer is reported by its size and not stored.
    if (len > 0 && len < sizeof commonProgramFiles) return commonProgramFiles;
    commonProgramFiles[0] = '\0';

    char system[MAX_PATH + 1];
    if (!GetSystemDir(system, sizeof system)) return nullptr;
    snprintf(commonProgramFiles, sizeof commonProgramFiles, "%c:\\Program Files\\Common Files", system[0]);
    return commonProgramFiles;
}

int GetRegInfoDir(char* out, size_t size) {
    const char* common = utl_GetCommonProgramFiles();
    return common && JoinPath(out, size, common, "Kivra\\Nexa Client\\reginfo");
}
