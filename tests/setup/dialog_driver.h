// Drives the uninstall-password dialog of a process (this one or a child) from
// another thread, as a user would, by control ID: finds it, types into its edit
// control, presses its buttons and keys, and reads its texts back.
#pragma once
#include <windows.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/resource.h"

// The expected texts, written in UTF-8 and converted to the ANSI code page of
// the run, so that a Chinese run compares real GBK bytes.
inline std::string Ansi(const wchar_t* wide) {
    char ansi[1024] = {0};
    WideCharToMultiByte(CP_ACP, 0, wide, -1, ansi, sizeof ansi, nullptr, nullptr);
    return ansi;
}
inline std::string Ansi(const char* utf8) {
    wchar_t wide[512] = {0};
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide, 512);
    return Ansi(wide);
}
inline std::string Expected(const char* english, const char* chinese) {
    return GetSystemDefaultLangID() == 2052 ? Ansi(chinese) : english;
}

// A window's text as its owner hands it out; GetWindowText alone would not ask
// the control of another process.
inline std::string WindowText(HWND window) {
    char text[1024] = {0};
    DWORD_PTR ignored = 0;
    if (window)
        SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, (LPARAM)text, SMTO_NORMAL, 5000, &ignored);
    return text;
}

class Driver {
public:
    explicit Driver(DWORD processId) : processId_(processId) {}

    HWND dialog = nullptr;
    std::vector<std::string> problems; // for the test's main thread to check

    // Polls cond every 20 ms for up to ms milliseconds.
    static bool WaitFor(const std::function<bool()>& cond, int ms = 10000) {
        for (int waited = 0; waited < ms; waited += 20) {
            if (cond()) return true;
            Sleep(20);
        }
        return cond();
    }

    bool FindDialog(int ms = 10000) {
        WaitFor([this] { return (dialog = Find(nullptr)) != nullptr; }, ms);
        if (!dialog) {
            problems.push_back("the password dialog did not appear");
            return false;
        }
        // The template shows the dialog as it is created, before it is centred.
        // A sent message is handled only once the dialog's thread pumps
        // messages, that is after the dialog was placed and shown.
        SendMessageA(dialog, WM_NULL, 0, 0);
        return true;
    }
    // A message box that the dialog owns.
    HWND WaitForBox() {
        HWND box = nullptr;
        if (!WaitFor([&] { return (box = Find(dialog)) != nullptr; }))
            problems.push_back("no message box owned by the dialog");
        return box;
    }

    HWND Item(int id) const { return GetDlgItem(dialog, id); }
    HWND Edit() const { return Item(IDC_PASSWORD_EDIT); }
    // The prompt static has the ID -1, of which only the low word survives everywhere.
    HWND Prompt() const {
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (LOWORD(GetWindowLongPtrA(c, GWLP_ID)) == 0xFFFF) return c;
        return nullptr;
    }
    std::string Text(int id) const { return WindowText(Item(id)); }

    // Types as a keyboard would, one character message at a time.
    void Type(const std::wstring& text) {
        for (wchar_t c : text) SendMessageW(Edit(), WM_CHAR, c, 1);
    }
    void Type(const std::string& ascii) { Type(std::wstring(ascii.begin(), ascii.end())); }
    // OK, returning once the dialog has handled it; not for a third miss, whose
    // box would hold the dialog until this thread closes it.
    void ClickOk() { SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)Item(IDOK)); }
    void PostClick(int id) { PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)Item(id)); }
    // A key pressed in the edit control: it passes the dialog's message loop.
    void PressKey(UINT vk) {
        PostMessageA(Edit(), WM_KEYDOWN, vk, 1);
        PostMessageA(Edit(), WM_KEYUP, vk, 0xC0000001);
    }
    // The final box: its caption and text, then closed with its OK button.
    void AnswerBox(std::string* caption, std::string* text) {
        HWND box = WaitForBox();
        if (!box) return;
        *caption = WindowText(box);
        *text = WindowText(GetDlgItem(box, 0xFFFF));
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    bool Ended() const { return !IsWindow(dialog) || !IsWindowVisible(dialog); }
    void WaitEnded() {
        if (!WaitFor([this] { return Ended(); })) {
            problems.push_back("the dialog did not end");
            PostMessageA(dialog, WM_CLOSE, 0, 0);
        }
    }

private:
    struct Search {
        DWORD processId;
        HWND owner;
        HWND found;
    };
    static BOOL CALLBACK Match(HWND window, LPARAM param) {
        Search* s = (Search*)param;
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        char cls[16] = {0};
        GetClassNameA(window, cls, sizeof cls);
        if (pid != s->processId || strcmp(cls, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        bool wanted = s->owner ? GetWindow(window, GW_OWNER) == s->owner
                               : GetDlgItem(window, IDC_PASSWORD_EDIT) != nullptr;
        if (wanted) s->found = window;
        return !wanted;
    }
    HWND Find(HWND owner) {
        Search s = {processId_, owner, nullptr};
        EnumWindows(Match, (LPARAM)&s);
        return s.found;
    }
    DWORD processId_;
};
