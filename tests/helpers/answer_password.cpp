// Answers the uninstall-password dialog as a user would: waits for it to appear
// in any program, types each password given on the command line into its edit
// control and presses OK, pausing between tries so that they can be seen.
//   answer_password.exe PASSWORD...
#include <stdio.h>
#include <windows.h>

namespace {

BOOL CALLBACK FindPasswordDialog(HWND window, LPARAM found) {
    char cls[16] = {0};
    GetClassNameA(window, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window) && GetDlgItem(window, 1001)) {
        *(HWND*)found = window;
        return FALSE;
    }
    return TRUE;
}

HWND WaitForDialog(DWORD ms) {
    for (DWORD waited = 0; waited <= ms; waited += 100) {
        HWND dialog = nullptr;
        EnumWindows(FindPasswordDialog, (LPARAM)&dialog);
        if (dialog) return dialog;
        Sleep(100);
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        HWND dialog = WaitForDialog(30000);
        if (!dialog) {
            printf("answer_password: no password dialog\n");
            return 1;
        }
        Sleep(1000);
        DWORD_PTR ignored;
        SendMessageTimeoutA(GetDlgItem(dialog, 1001), WM_SETTEXT, 0, (LPARAM)argv[i], SMTO_NORMAL, 5000,
                            &ignored);
        printf("answer_password: typed \"%s\" and pressed OK\n", argv[i]);
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
        Sleep(1000);
    }
    return 0;
}
