// The uninstall-password dialog (resource IDD_CHKPWD_DLG): the gate in front of
// the upgrade of a client that is protected by an uninstall password.
#pragma once
#include <windows.h>

// The dialog procedure. OK enciphers what was typed and compares it with
// storedUninstallPassword; a match sets g_bExit and ends the dialog, the third
// miss shows the final box and ends it, Cancel, Escape and Close end it too.
// Every end posts the quit message that ends RunPasswordDialog's loop.
INT_PTR CALLBACK PasswordDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows the dialog of module (its resource IDD_CHKPWD_DLG) centred on the
// desktop and topmost, pumps the thread's messages until the dialog ends and
// destroys it. Returns g_bExit: 1 when the right password was typed, 0 when the
// dialog was cancelled, closed, the tries ran out or it could not be created.
int RunPasswordDialogFrom(HINSTANCE module);

// RunPasswordDialogFrom with this program's own module.
int RunPasswordDialog();
