// Puts one window of the setup on the screen, as a user would see it, for
// scripts/screenshots.sh:
//   dialog_scenes SCENE READYFILE DONEFILE
// SCENE is one of prompt, retry, final (the password dialog: first prompt,
// after two misses, the final box after the third) or instance, notadmin, disk,
// updater (the start-up refusals, shown by SetupMain itself), or sleep (stays
// alive a minute, under the customisation updater's name). When the window is
// up, READYFILE receives its screen rectangle "x y width height"; once DONEFILE
// exists (or after a minute) the window is closed and the program ends.
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "integrity/cipher.h"
#include "platform/sysinfo.h"
#include "setup/globals.h"
#include "setup/password_dialog.h"
#include "setup/resource.h"
#include "setup/startup.h"

namespace {

const char* scene = "";
const char* readyFile = "";
const char* doneFile = "";

bool Is(const char* name) { return strcmp(scene, name) == 0; }

struct Search {
    HWND owner;
    HWND found;
};

BOOL CALLBACK Match(HWND window, LPARAM param) {
    Search* s = (Search*)param;
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char cls[16] = {0};
    GetClassNameA(window, cls, sizeof cls);
    if (pid != GetCurrentProcessId() || strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
    if (s->owner && GetWindow(window, GW_OWNER) != s->owner) return TRUE;
    s->found = window;
    return FALSE;
}

// This process's visible dialog (owned by owner, when given), waiting up to 20 s.
HWND WaitForWindow(HWND owner) {
    for (int i = 0; i < 1000; ++i) {
        Search s = {owner, nullptr};
        EnumWindows(Match, (LPARAM)&s);
        if (s.found) {
            // Handled once the window's thread pumps messages: placed and painted.
            SendMessageA(s.found, WM_NULL, 0, 0);
            Sleep(300);
            return s.found;
        }
        Sleep(20);
    }
    return nullptr;
}

void Miss(HWND dialog, bool wait) {
    const char* wrong = "wrong";
    for (const char* c = wrong; *c; ++c) SendMessageA(GetDlgItem(dialog, IDC_PASSWORD_EDIT), WM_CHAR, *c, 1);
    if (wait)
        SendMessageA(dialog, WM_COMMAND, IDOK, 0);
    else
        PostMessageA(dialog, WM_COMMAND, IDOK, 0);
}

DWORD WINAPI Stage(void*) {
    HWND shown = WaitForWindow(nullptr);
    if (!shown) return 1;
    HWND close = shown;
    if (Is("retry") || Is("final")) {
        Miss(shown, true);
        Miss(shown, true);
        if (Is("final")) {
            Miss(shown, false);
            close = shown = WaitForWindow(shown);
            if (!shown) return 1;
        }
        Sleep(300);
    }
    RECT r;
    GetWindowRect(shown, &r);
    FILE* f = fopen(readyFile, "w");
    if (f) {
        fprintf(f, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        fclose(f);
    }
    for (int i = 0; i < 600 && GetFileAttributesA(doneFile) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    if (Is("prompt") || Is("retry"))
        PostMessageA(close, WM_CLOSE, 0, 0);
    else
        PostMessageA(close, WM_COMMAND, IDOK, 0);
    return 0;
}

int Admin() { return 1; }
int NotAdmin() { return 0; }
long long Plenty(const char*) { return 10LL << 30; }
long long Short(const char*) { return 100LL << 20; }

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    scene = argv[1];
    readyFile = argv[2];
    doneFile = argv[3];
    if (Is("sleep")) {
        Sleep(60000);
        return 0;
    }
    HANDLE stage = CreateThread(nullptr, 0, Stage, nullptr, 0, nullptr);
    if (Is("prompt") || Is("retry") || Is("final")) {
        char cipher[129] = {0};
        utl_EncryptStr(cipher, 128, "Secret-42", 9);
        strcpy(storedUninstallPassword, cipher);
        RunPasswordDialog();
    } else {
        g_startupProbes = StartupProbes{Is("notadmin") ? NotAdmin : Admin, Is("disk") ? Short : Plenty};
        HANDLE held = Is("instance") ? CreateEventA(nullptr, FALSE, FALSE, "evnt_Kivra_stpDamon") : nullptr;
        SetupMain();
        if (held) CloseHandle(held);
    }
    WaitForSingleObject(stage, 70000);
    CloseHandle(stage);
    return 0;
}
