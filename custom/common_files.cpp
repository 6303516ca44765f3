#include "custom/common_files.h"

#include <stdio.h>

#include "platform/fs.h"
#include "platform/registry.h"
#include "platform/system_dir.h"

namespace {
char commonProgramFiles[MAX_PATH + 1];

// Only a drive path counts: an unexpanded "%ProgramFiles%\..." would make the
// reginfo folder relative to the current directory.
bool IsDrivePath(const char* path) {
    return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':' &&
           path[2] == '\\';
}
} // namespace

void ResetCommonProgramFilesCache() { commonProgramFiles[0] = '\0'; }

const char* utl_GetCommonProgramFiles() {
    if (commonProgramFiles[0]) return commonProgramFiles;
    // A value too long for the buffer is refused by RegReadString and not stored.
    if (RegReadString(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir",
                      commonProgramFiles, sizeof commonProgramFiles) &&
        IsDrivePath(commonProgramFiles))
        return commonProgramFiles;
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
