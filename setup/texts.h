// Every text a user sees, in English and in Chinese (GBK bytes, code page 936).
// The Chinese text is used when the system's default language is Chinese (PRC),
// decided afresh at each use.
#pragma once

struct BilingualText {
    const char* english;
    const char* chinese; // GBK
};

// 1 when GetSystemDefaultLangID() is 2052, Chinese (PRC).
int UseChinese();

// The text in the language chosen now.
const char* Localized(const BilingualText& text);

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
