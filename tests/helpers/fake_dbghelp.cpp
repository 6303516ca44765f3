// A stand-in for a DLL that an attacker plants beside Setup.exe under the name
// of the debug-help library. Being loaded is all it does: it leaves a marker.
#include <windows.h>

namespace {
void LeaveMarker() {
    CreateDirectoryA("C:\\tmp", nullptr);
    HANDLE f = CreateFileA("C:\\tmp\\fake-dbghelp-loaded.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
}
} // namespace

extern "C" __declspec(dllexport) BOOL WINAPI MakeSureDirectoryPathExists(const char*) {
    LeaveMarker();
    return FALSE;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) LeaveMarker();
    return TRUE;
}
