// The uninstall-password dialog, shown for real under Wine and Xvfb: a driver
// thread finds it, types into it and presses its buttons by control ID, while
// the test's main thread runs RunPasswordDialog's message loop. This program
// carries the dialog's resource itself (password_dialog.rc).
#include <gtest/gtest.h>

#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "integrity/cipher.h"
#include "setup/globals.h"
#include "setup/password_dialog.h"
#include "setup/resource.h"
#include "setup/texts.h"
#include "support/winsupport.h"
#include "dialog_driver.h"

namespace {

std::string Encipher(const std::string& clear) {
    char cipher[129] = {0};
    EXPECT_EQ(utl_EncryptStr(cipher, 128, clear.data(), (unsigned)clear.size()), 0);
    return cipher;
}

void StorePassword(const std::string& clear) {
    memset(storedUninstallPassword, 0, sizeof storedUninstallPassword);
    if (!clear.empty()) strcpy(storedUninstallPassword, Encipher(clear).c_str());
}

struct ScriptRun {
    Driver* driver;
    std::function<void(Driver&)> script;
};

DWORD WINAPI RunScript(void* param) {
    ScriptRun* run = (ScriptRun*)param;
    if (run->driver->FindDialog()) run->script(*run->driver);
    return 0;
}

class PasswordDialogTest : public ::testing::Test {
protected:
    static constexpr const char* kPassword = "Secret-42";

    void SetUp() override {
        ClearLogs();
        g_bExit = 0;
        wrongPasswordCount = 0;
        StorePassword(kPassword);
    }
    void TearDown() override {
        g_bExit = 0;
        wrongPasswordCount = 0;
        memset(storedUninstallPassword, 0, sizeof storedUninstallPassword);
    }

    // RunPasswordDialog on this thread while the script drives the dialog.
    int Run(const std::function<void(Driver&)>& script) {
        Driver driver(GetCurrentProcessId());
        ScriptRun run = {&driver, script};
        HANDLE thread = CreateThread(nullptr, 0, RunScript, &run, 0, nullptr);
        int result = RunPasswordDialog();
        EXPECT_EQ(WaitForSingleObject(thread, 30000), WAIT_OBJECT_0);
        CloseHandle(thread);
        EXPECT_TRUE(driver.problems.empty()) << driver.problems[0];
        EXPECT_FALSE(IsWindow(driver.dialog)) << "the dialog is destroyed";
        MSG quit;
        EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            << "no quit message is left for the next message loop";
        return result;
    }

    struct RetryState {
        std::string prompt, notice, edit;
        bool noticeVisible = false, dialogVisible = false;
    };
    static RetryState Observe(Driver& d) {
        RetryState s;
        s.prompt = WindowText(d.Prompt());
        s.notice = d.Text(IDC_RETRY_NOTICE);
        s.edit = d.Text(IDC_PASSWORD_EDIT);
        s.noticeVisible = IsWindowVisible(d.Item(IDC_RETRY_NOTICE));
        s.dialogVisible = IsWindowVisible(d.dialog);
        return s;
    }
    static void ExpectRetryState(const RetryState& s) {
        EXPECT_TRUE(s.dialogVisible);
        EXPECT_EQ(s.prompt, "");
        EXPECT_TRUE(s.noticeVisible);
        EXPECT_EQ(s.notice, Expected("Wrong password. Please try again:", "密码错误，请重新输入："));
        EXPECT_EQ(s.edit, "");
    }
};

TEST_F(PasswordDialogTest, RightPasswordAtOnceIsAcceptedAndLogged) {
    int result = Run([](Driver& d) {
        d.Type(kPassword);
        d.PressKey(VK_RETURN); // the default button, through IsDialogMessage
        d.WaitEnded();
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(g_bExit, 1);
    EXPECT_EQ(wrongPasswordCount, 0);
    EXPECT_EQ(TodayLogMessages("setup"), std::vector<std::string>{"g_bExit = TRUE;"});
}

TEST_F(PasswordDialogTest, TwoMissesShowTheRetryNoticeAndTheThirdTryMayStillBeRight) {
    std::vector<RetryState> states;
    int result = Run([&](Driver& d) {
        d.Type("wrong");
        d.ClickOk();
        states.push_back(Observe(d));
        d.Type("");
        d.ClickOk(); // an empty entry is a miss too
        states.push_back(Observe(d));
        d.Type(kPassword);
        d.ClickOk();
        d.WaitEnded();
    });
    ASSERT_EQ(states.size(), 2u);
    for (const RetryState& s : states) ExpectRetryState(s);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(wrongPasswordCount, 2);
    EXPECT_EQ(TodayLogMessages("setup"), std::vector<std::string>{"g_bExit = TRUE;"});
}

TEST_F(PasswordDialogTest, ThreeMissesInOtherLetterCasesEndWithTheFinalBox) {
    std::string caption, text;
    bool boxEnabledDialog = true;
    int result = Run([&](Driver& d) {
        d.Type("secret-42");
        d.ClickOk();
        d.Type("SECRET-42");
        d.ClickOk();
        d.Type("Secret-42 ");
        d.PostClick(IDOK);
        if (!d.WaitForBox()) return;
        boxEnabledDialog = IsWindowEnabled(d.dialog);
        d.AnswerBox(&caption, &text);
        d.WaitEnded();
    });
    EXPECT_EQ(caption, Expected("Wrong Password", "密码错误"));
    EXPECT_EQ(text, Expected("You have input wrong passwords for the maximum number of times. The "
                             "installation wizard is about to abort...",
                             "超过最大密码错误重试次数，安装程序即将退出。"));
    EXPECT_FALSE(boxEnabledDialog) << "the box is modal to the dialog";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_bExit, 0);
    EXPECT_EQ(wrongPasswordCount, 3);
    EXPECT_TRUE(TodayLogMessages("setup").empty()) << "misses are not logged";
}

// A Chinese system need not have GBK as its ANSI code page (Windows offers
// UTF-8); the texts must read right whatever it is. Wine ties the two together,
// so the Chinese language stands in here whatever this run's code page is.
LANGID WINAPI ChineseSystem() { return 0x0804; }

std::wstring WideText(HWND window) {
    wchar_t text[512] = {0};
    DWORD_PTR ignored = 0;
    if (window) SendMessageTimeoutW(window, WM_GETTEXT, 512, (LPARAM)text, SMTO_NORMAL, 5000, &ignored);
    return text;
}

TEST_F(PasswordDialogTest, ChineseTextsReadRightWhateverTheAnsiCodePage) {
    g_systemDefaultLangId = ChineseSystem;
    std::wstring title, prompt, ok, caption, text;
    Run([&](Driver& d) {
        title = WideText(d.dialog);
        prompt = WideText(d.Prompt());
        ok = WideText(d.Item(IDOK));
        d.ClickOk();
        d.ClickOk();
        d.PostClick(IDOK); // the third miss: its box holds the dialog
        HWND box = d.WaitForBox();
        caption = WideText(box);
        text = WideText(GetDlgItem(box, 0xFFFF));
        if (box) PostMessageA(box, WM_COMMAND, IDOK, 0);
        d.WaitEnded();
    });
    g_systemDefaultLangId = GetSystemDefaultLangID;
    EXPECT_EQ(title, L"\x5378\x8f7d\x5bc6\x7801") << "卸载密码 (code page " << GetACP() << ")";
    EXPECT_EQ(prompt.substr(0, 4), L"\x5df2\x5b89\x88c5\x7684") << "已安装的...";
    EXPECT_EQ(ok, L"\x786e\x5b9a") << "确定";
    EXPECT_EQ(caption, L"\x5bc6\x7801\x9519\x8bef") << "密码错误";
    EXPECT_EQ(text.substr(0, 4), L"\x8d85\x8fc7\x6700\x5927") << "超过最大...";
}

TEST_F(PasswordDialogTest, AnEmptyStoredPasswordAcceptsNothingNotEvenAnEmptyEntry) {
    StorePassword("");
    int result = Run([](Driver& d) {
        d.ClickOk();
        d.PostClick(IDCANCEL);
        d.WaitEnded();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(wrongPasswordCount, 1);
}

// Cancel, the close box, Alt+F4's WM_CLOSE and Escape all refuse, without a log line.
class PasswordDialogEndTest : public PasswordDialogTest,
                              public ::testing::WithParamInterface<const char*> {};

TEST_P(PasswordDialogEndTest, EndsLikeCancel) {
    std::string way = GetParam();
    int result = Run([&](Driver& d) {
        d.Type(kPassword); // typed but never confirmed
        if (way == "cancel") d.PostClick(IDCANCEL);
        if (way == "close box") PostMessageA(d.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        if (way == "close") PostMessageA(d.dialog, WM_CLOSE, 0, 0);
        if (way == "escape") d.PressKey(VK_ESCAPE);
        d.WaitEnded();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(g_bExit, 0);
    EXPECT_EQ(wrongPasswordCount, 0);
    EXPECT_TRUE(TodayLogMessages("setup").empty());
}
INSTANTIATE_TEST_SUITE_P(Ways, PasswordDialogEndTest,
                         ::testing::Values("cancel", "close box", "close", "escape"));

TEST_F(PasswordDialogTest, ThirtyTwoCharactersFitAndTheThirtyThirdIsRefused) {
    const std::string longest = "abcdefghijklmnopqrstuvwxyz-12345";
    ASSERT_EQ(longest.size(), 32u);
    StorePassword(longest);
    LRESULT limit = 0;
    std::string typed;
    int result = Run([&](Driver& d) {
        limit = SendMessageA(d.Edit(), EM_GETLIMITTEXT, 0, 0);
        d.Type(longest + "6");
        typed = d.Text(IDC_PASSWORD_EDIT);
        d.ClickOk();
        d.WaitEnded();
    });
    EXPECT_EQ(limit, 32);
    EXPECT_EQ(typed, longest);
    EXPECT_EQ(result, 1);
}

// 32 Chinese characters are 64 bytes of GBK: the whole entry must reach the
// cipher, not a prefix of it. (In an English run each becomes "?", on both sides.)
TEST_F(PasswordDialogTest, ThirtyTwoDoubleByteCharactersAreComparedWhole) {
    std::wstring chinese;
    for (int i = 0; i < 32; ++i) chinese += (i % 2) ? L'\x5bc6' : L'\x7801'; // 密码
    StorePassword(Ansi(chinese.c_str()));
    int result = Run([&](Driver& d) {
        d.Type(chinese);
        d.ClickOk();
        d.WaitEnded();
    });
    EXPECT_EQ(result, 1);
    EXPECT_EQ(wrongPasswordCount, 0);
}

TEST_F(PasswordDialogTest, FirstPromptShowsItsTextsCentredAndTopmost) {
    std::string title, prompt, ok, cancel, edit;
    bool noticeVisible = true, topmost = false, focusOnEdit = false;
    RECT placed = {}, desktop = {};
    int result = Run([&](Driver& d) {
        title = WindowText(d.dialog);
        prompt = WindowText(d.Prompt());
        ok = d.Text(IDOK);
        cancel = d.Text(IDCANCEL);
        edit = d.Text(IDC_PASSWORD_EDIT);
        noticeVisible = IsWindowVisible(d.Item(IDC_RETRY_NOTICE));
        topmost = (GetWindowLongPtrA(d.dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
        GUITHREADINFO gui = {};
        gui.cbSize = sizeof gui;
        GetGUIThreadInfo(GetWindowThreadProcessId(d.dialog, nullptr), &gui);
        focusOnEdit = gui.hwndFocus == d.Edit();
        GetWindowRect(d.dialog, &placed);
        GetWindowRect(GetDesktopWindow(), &desktop);
        d.PostClick(IDCANCEL);
        d.WaitEnded();
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(title, Expected("Uninstall Password", "卸载密码"));
    EXPECT_EQ(prompt, Expected("The client is protected by a password. Please input the password to "
                               "proceed with the client upgrade.",
                               "已安装的客户端受密码保护，需要输入卸载密码才能进行升级。请输入密码："));
    EXPECT_EQ(ok, Expected("OK", "确定"));
    EXPECT_EQ(cancel, Expected("Cancel", "取消"));
    EXPECT_EQ(edit, "");
    EXPECT_FALSE(noticeVisible);
    EXPECT_TRUE(topmost);
    EXPECT_TRUE(focusOnEdit);
    int width = placed.right - placed.left, height = placed.bottom - placed.top;
    EXPECT_EQ(placed.left, desktop.left + (desktop.right - desktop.left - width) / 2);
    EXPECT_EQ(placed.top, desktop.top + (desktop.bottom - desktop.top - height) / 2);
}

// The dialog's extended template, item by item, as the resource compiler wrote it.
struct TemplateItem {
    DWORD style;
    short x, y, cx, cy;
    DWORD id;
    WORD classAtom; // 0x80 button, 0x81 edit, 0x82 static
    std::wstring text;
};
struct Template {
    WORD version = 0, signature = 0;
    DWORD style = 0;
    short cx = 0, cy = 0;
    WORD pointSize = 0, weight = 0;
    BYTE italic = 0;
    std::wstring font;
    std::vector<TemplateItem> items;
};

const WORD* SkipSzOrOrd(const WORD* p, std::wstring* text = nullptr, WORD* ordinal = nullptr) {
    if (*p == 0xFFFF) {
        if (ordinal) *ordinal = p[1];
        return p + 2;
    }
    const WORD* start = p;
    while (*p) ++p;
    if (text) text->assign(start, p);
    return p + 1;
}
const WORD* AlignDword(const WORD* p) { return (const WORD*)(((ULONG_PTR)p + 3) & ~(ULONG_PTR)3); }

Template ReadTemplate(HRSRC resource) {
    Template t;
    const BYTE* base = (const BYTE*)LockResource(LoadResource(nullptr, resource));
    if (!base) return t;
    const WORD* w = (const WORD*)base;
    t.version = w[0];
    t.signature = w[1];
    memcpy(&t.style, base + 12, 4);
    WORD count = w[8];
    t.cx = (short)w[11];
    t.cy = (short)w[12];
    const WORD* p = SkipSzOrOrd(SkipSzOrOrd(SkipSzOrOrd(w + 13))); // menu, class, title
    t.pointSize = p[0];
    t.weight = p[1];
    t.italic = (BYTE)p[2];
    p = SkipSzOrOrd(p + 3, &t.font);
    for (WORD i = 0; i < count; ++i) {
        p = AlignDword(p);
        TemplateItem item;
        memcpy(&item.style, p + 4, 4);
        item.x = (short)p[6];
        item.y = (short)p[7];
        item.cx = (short)p[8];
        item.cy = (short)p[9];
        memcpy(&item.id, p + 10, 4);
        item.classAtom = 0;
        p = SkipSzOrOrd(p + 12, nullptr, &item.classAtom);
        p = SkipSzOrOrd(p, &item.text);
        p = (const WORD*)((const BYTE*)(p + 1) + *p); // creation data
        t.items.push_back(item);
    }
    return t;
}

TEST(PasswordDialogTemplate, IsTheExtendedChineseTemplateWithItsFontAndFiveControls) {
    HRSRC resource = FindResourceExA(nullptr, (LPCSTR)RT_DIALOG, MAKEINTRESOURCEA(IDD_CHKPWD_DLG),
                                     MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    ASSERT_TRUE(resource) << "dialog 134 in Chinese (PRC)";
    Template t = ReadTemplate(resource);
    EXPECT_EQ(t.version, 1);
    EXPECT_EQ(t.signature, 0xFFFF) << "an extended template";
    EXPECT_EQ(t.style, (DWORD)(WS_POPUP | WS_VISIBLE | WS_CAPTION | DS_MODALFRAME | DS_SETFONT));
    EXPECT_EQ(t.cx, 186);
    EXPECT_EQ(t.cy, 68);
    EXPECT_EQ(t.font, L"Tahoma");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.weight, FW_NORMAL);
    EXPECT_EQ(t.italic, 0);

    const DWORD shown = WS_CHILD | WS_VISIBLE;
    const std::vector<TemplateItem> expected = {
        {shown | WS_BORDER | WS_TABSTOP | ES_PASSWORD | ES_AUTOHSCROLL, 7, 30, 172, 13, IDC_PASSWORD_EDIT, 0x81, L""},
        {shown | WS_TABSTOP | BS_DEFPUSHBUTTON, 59, 47, 50, 14, IDOK, 0x80, L"OK"},
        {shown | WS_TABSTOP | BS_PUSHBUTTON, 129, 47, 50, 14, IDCANCEL, 0x80, L"Cancel"},
        {shown | WS_GROUP | SS_LEFT, 7, 7, 172, 19, 0xFFFF, 0x82, L"Static"},
        {shown | WS_GROUP | SS_LEFT, 7, 19, 172, 9, IDC_RETRY_NOTICE, 0x82, L"Static"},
    };
    ASSERT_EQ(t.items.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const TemplateItem& e = expected[i];
        const TemplateItem& a = t.items[i];
        SCOPED_TRACE("control " + std::to_string(i));
        EXPECT_EQ(LOWORD(a.id), e.id);
        EXPECT_EQ(a.classAtom, e.classAtom);
        EXPECT_EQ(a.style, e.style);
        EXPECT_EQ(std::vector<short>({a.x, a.y, a.cx, a.cy}), std::vector<short>({e.x, e.y, e.cx, e.cy}));
        EXPECT_EQ(a.text, e.text);
    }
}

// The live window keeps the template's dialog units: each control sits where
// MapDialogRect puts it, in the template's font.
TEST_F(PasswordDialogTest, TheLiveDialogHasTheTemplatesLayoutAndFont) {
    struct Placed {
        RECT expected, actual;
    };
    std::vector<Placed> placed;
    RECT client = {}, size = {0, 0, 186, 68};
    LOGFONTA font = {};
    DWORD editStyle = 0;
    Run([&](Driver& d) {
        HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_CHKPWD_DLG), (LPCSTR)RT_DIALOG);
        for (const TemplateItem& item : ReadTemplate(resource).items) {
            // A dialog maps a control's position and its size each on its own.
            Placed p;
            p.expected = {item.x, item.y, item.cx, item.cy};
            MapDialogRect(d.dialog, &p.expected);
            p.expected.right += p.expected.left;
            p.expected.bottom += p.expected.top;
            HWND control = nullptr;
            for (HWND c = GetWindow(d.dialog, GW_CHILD); c && !control; c = GetWindow(c, GW_HWNDNEXT))
                if (LOWORD(GetWindowLongPtrA(c, GWLP_ID)) == LOWORD(item.id)) control = c;
            GetWindowRect(control, &p.actual);
            MapWindowPoints(nullptr, d.dialog, (POINT*)&p.actual, 2);
            placed.push_back(p);
        }
        GetClientRect(d.dialog, &client);
        MapDialogRect(d.dialog, &size);
        GetObjectA((HFONT)SendMessageA(d.dialog, WM_GETFONT, 0, 0), sizeof font, &font);
        editStyle = (DWORD)GetWindowLongPtrA(d.Edit(), GWL_STYLE);
        d.PostClick(IDCANCEL);
        d.WaitEnded();
    });
    ASSERT_EQ(placed.size(), 5u);
    for (const Placed& p : placed)
        EXPECT_TRUE(EqualRect(&p.expected, &p.actual))
            << p.actual.left << "," << p.actual.top << " " << p.actual.right << "," << p.actual.bottom << " expected "
            << p.expected.left << "," << p.expected.top << " " << p.expected.right << "," << p.expected.bottom;
    EXPECT_EQ(client.right, size.right);
    EXPECT_EQ(client.bottom, size.bottom);
    EXPECT_STREQ(font.lfFaceName, "Tahoma");
    EXPECT_EQ(font.lfWeight, FW_NORMAL);
    EXPECT_EQ(editStyle & (ES_PASSWORD | ES_AUTOHSCROLL), (DWORD)(ES_PASSWORD | ES_AUTOHSCROLL));
}

TEST_F(PasswordDialogTest, WithoutItsTemplateTheGateStaysShut) {
    EXPECT_EQ(RunPasswordDialogFrom(GetModuleHandleA("kernel32.dll")), 0);
    std::vector<std::string> log = TodayLogMessages("setup");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].rfind("RunPasswordDialog: CreateDialogParamW failed with Err ", 0), 0u) << log[0];
}

} // namespace
