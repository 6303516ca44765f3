#include "setup/password_dialog.h"

#include <string.h>

#include "integrity/cipher.h"
#include "log/log.h"
#include "setup/globals.h"
#include "setup/resource.h"
#include "setup/texts.h"

namespace {

const int kMaxTries = 3;
// The edit control counts characters: 32 of them take up to 64 bytes in a
// double-byte code page such as GBK.
const int kTypedCapacity = kMaxPasswordChars * 2 + 1;
// 64 bytes encipher to 96 characters; the cipher text has room for 128.
const int kCipherCapacity = 129;

// The prompt static carries no ID of its own (-1). Its ID is a WORD in old
// templates and a DWORD in extended ones, and GetDlgItem(-1) does not match the
// DWORD form everywhere on 64-bit Windows, so it is found by the low word.
HWND PromptStatic(HWND dialog) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (LOWORD(GetWindowLongPtrA(child, GWLP_ID)) == 0xFFFF) return child;
    return nullptr;
}

// Every way out of the dialog ends it and ends RunPasswordDialog's loop.
void Finish(HWND dialog, INT_PTR result) {
    EndDialog(dialog, result);
    PostQuitMessage(0);
}

void OnInitDialog(HWND dialog) {
    SetLocalizedText(dialog, kPasswordTitle);
    SetLocalizedText(PromptStatic(dialog), kPasswordPrompt);
    SetLocalizedText(GetDlgItem(dialog, IDOK), kOkButton);
    SetLocalizedText(GetDlgItem(dialog, IDCANCEL), kCancelButton);
    ShowWindow(GetDlgItem(dialog, IDC_RETRY_NOTICE), SW_HIDE);
    SendDlgItemMessageA(dialog, IDC_PASSWORD_EDIT, EM_LIMITTEXT, kMaxPasswordChars, 0);
    SetFocus(GetDlgItem(dialog, IDC_PASSWORD_EDIT));
}

// 1 when the typed text enciphers to the stored password's cipher text. The
// clear stored password never exists here: the cipher is deterministic, so
// equal passwords give equal cipher texts.
int TypedPasswordMatches(HWND dialog) {
    char typed[kTypedCapacity] = {0};
    GetDlgItemTextA(dialog, IDC_PASSWORD_EDIT, typed, sizeof typed);
    char cipher[kCipherCapacity] = {0};
    // A failed cipher call is a miss even against an empty stored password.
    int matches = utl_EncryptStr(cipher, kCipherCapacity - 1, typed, (unsigned)strlen(typed)) == 0 &&
                  strncmp(cipher, storedUninstallPassword, sizeof storedUninstallPassword) == 0;
    SecureZeroMemory(typed, sizeof typed);
    return matches;
}

void OnOk(HWND dialog) {
    if (TypedPasswordMatches(dialog)) {
        g_bExit = 1;
        SetupLog("g_bExit = TRUE;");
        Finish(dialog, 1);
        return;
    }
    if (++wrongPasswordCount < kMaxTries) {
        HWND notice = GetDlgItem(dialog, IDC_RETRY_NOTICE);
        HWND edit = GetDlgItem(dialog, IDC_PASSWORD_EDIT);
        ShowWindow(notice, SW_SHOW);
        SetWindowTextA(PromptStatic(dialog), "");
        SetLocalizedText(notice, kRetryNotice);
        SetWindowTextA(edit, "");
        SetFocus(edit);
        return;
    }
    ShowLocalizedWarning(dialog, kWrongPasswordText, kWrongPasswordCaption);
    Finish(dialog, 1);
}

} // namespace

INT_PTR CALLBACK PasswordDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog);
        return 1;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            OnOk(dialog);
            return 0;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            Finish(dialog, IDCANCEL);
            return 1;
        }
        return 0;
    case WM_CLOSE:
        Finish(dialog, LOWORD(wParam));
        return 1;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return 0;
    }
}

int RunPasswordDialogFrom(HINSTANCE module) {
    // A Unicode dialog: its texts are set as wide text, which an ANSI window
    // would take back through the ANSI code page.
    HWND dialog =
        CreateDialogParamW(module, MAKEINTRESOURCEW(IDD_CHKPWD_DLG), nullptr, PasswordDlgProc, 0);
    if (!dialog) {
        // Without its dialog the password cannot be asked: the gate stays shut.
        SetupLogF("RunPasswordDialog: CreateDialogParamW failed with Err %lu.", GetLastError());
        return 0;
    }

    RECT desktop, own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(dialog, &own);
    int x = ((desktop.right - desktop.left) - (own.right - own.left)) / 2;
    int y = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) / 2;
    SetWindowPos(dialog, HWND_TOPMOST, desktop.left + x, desktop.top + y, 0, 0,
                 SWP_NOSIZE | SWP_HIDEWINDOW);
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);

    MSG msg;
    for (;;) {
        BOOL got = GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) break;
        if (got == -1) {
            SetupLog(" handle the error and possibly exit");
            continue;
        }
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    DestroyWindow(dialog);
    // WM_DESTROY posted one more quit message. Left pending, it would end the
    // thread's next message loop at once, a later message box's among them.
    PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    return g_bExit;
}

int RunPasswordDialog() { return RunPasswordDialogFrom(GetModuleHandleA(nullptr)); }
