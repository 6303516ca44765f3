// Stand-in for the installer KivraSetup.exe of a demo payload: records that it
// ran (KivraSetup-record.txt beside itself) and what it was started with
// (KivraSetup-session.txt), shows a small window for a few seconds and ends.
// How long: the DWORD ShownMs of HKCU\Software\KivraStandIn in milliseconds
// (tests set it), else 3000. Not an environment variable: the setup passes the
// installer none of the session's.
#include <windows.h>

#include "standin_record.h"

namespace {

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
    const char ran[] = "KivraSetup.exe ran\r\n";
    AppendBesideSelf("KivraSetup-record.txt", ran, sizeof ran - 1);
    RecordSession("KivraSetup-session.txt");
    DWORD shownMs = 3000, size = sizeof shownMs;
    if (RegGetValueA(HKEY_CURRENT_USER, "Software\\KivraStandIn", "ShownMs", RRF_RT_REG_DWORD, nullptr,
                     &shownMs, &size) != ERROR_SUCCESS)
        shownMs = 3000;

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
