// Stand-in for the installer KivraSetup.exe of a demo payload: records that it
// ran (KivraSetup-record.txt beside itself), shows a small window for a few
// seconds (KIVRA_STANDIN_MS milliseconds, default 3000) and ends.
#include <stdlib.h>
#include <string.h>
#include <windows.h>

namespace {

void Record() {
    char path[MAX_PATH];
    DWORD len = GetModuleFileNameA(nullptr, path, sizeof path);
    char* slash = strrchr(path, '\\');
    if (len == 0 || len >= sizeof path || !slash) return;
    const char name[] = "KivraSetup-record.txt";
    if ((size_t)(slash + 1 - path) + sizeof name > sizeof path) return;
    strcpy(slash + 1, name);
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    const char line[] = "KivraSetup.exe ran\r\n";
    WriteFile(file, line, sizeof line - 1, &written, nullptr);
    CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        DestroyWindow(window);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT area;
        GetClientRect(window, &area);
        DrawTextA(dc, "Installing the Kivra client (demo stand-in)...", -1, &area,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    Record();
    char value[32];
    DWORD got = GetEnvironmentVariableA("KIVRA_STANDIN_MS", value, sizeof value);
    UINT shownMs = (got > 0 && got < sizeof value) ? (UINT)strtoul(value, nullptr, 10) : 3000;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "KivraInstallerStandIn";
    RegisterClassA(&windowClass);
    HWND window = CreateWindowA("KivraInstallerStandIn", "Kivra Client Setup", WS_OVERLAPPED | WS_CAPTION,
                                CW_USEDEFAULT, CW_USEDEFAULT, 420, 120, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, show);
    SetTimer(window, 1, shownMs, nullptr);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}
