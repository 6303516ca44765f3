// Stand-in for the admission program kopApxSvr.exe of a demo payload: appends
// its command line to kopApxSvr-record.txt beside itself and ends.
#include <string.h>
#include <windows.h>

namespace {

void AppendLine(const char* fileName, const char* line) {
    char path[MAX_PATH];
    DWORD len = GetModuleFileNameA(nullptr, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (len == 0 || len >= sizeof path || !slash) return;
    if ((size_t)(slash + 1 - path) + strlen(fileName) >= sizeof path) return;
    strcpy(slash + 1, fileName);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, line, (DWORD)strlen(line), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
    AppendLine("kopApxSvr-record.txt", commandLine);
    return 0;
}
