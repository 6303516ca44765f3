// Every text a user sees, in English and in Chinese (GBK bytes, code page 936).
// The Chinese text is used when the system's default language is Chinese (PRC),
// decided afresh at each use. Texts reach the screen as wide text converted
// from code page 936 itself, so that they read right whatever the ANSI code
// page is (Windows lets it be UTF-8, or another language's).
#pragma once
#include <windows.h>

struct BilingualText {
    const char* english;
    const char* chinese; // GBK
};

// 1 when the system's default language is 2052, Chinese (PRC).
int UseChinese();

// How the system's default language is learnt: GetSystemDefaultLangID, replaced
// only by tests. Wine ties the language to the ANSI code page (Chinese comes
// with GBK), so a Chinese system with another code page needs a stand-in.
extern LANGID(WINAPI* g_systemDefaultLangId)();

// The text in the language chosen now, as GBK or ASCII bytes.
const char* Localized(const BilingualText& text);

// Sets a window's text to text in the language chosen now.
void SetLocalizedText(HWND window, const BilingualText& text);

// Shows a warning box with one OK button, owned by owner (or none), and
// returns when it is closed.
void ShowLocalizedWarning(HWND owner, const BilingualText& text, const BilingualText& caption);

extern const BilingualText kSetupCaption;
extern const BilingualText kAnotherInstanceText;
extern const BilingualText kNotAdminText;
extern const BilingualText kDiskShortText;
extern const BilingualText kUpdaterRunsText;
extern const BilingualText kPasswordTitle;
extern const BilingualText kPasswordPrompt;
extern const BilingualText kOkButton;
extern const BilingualText kCancelButton;
extern const BilingualText kRetryNotice;
extern const BilingualText kWrongPasswordCaption;
extern const BilingualText kWrongPasswordText;
