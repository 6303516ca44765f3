#include "setup/texts.h"

#include <windows.h>

LANGID(WINAPI* g_systemDefaultLangId)() = GetSystemDefaultLangID;

int UseChinese() { return g_systemDefaultLangId() == 0x0804; }

const char* Localized(const BilingualText& text) {
    return UseChinese() ? text.chinese : text.english;
}

namespace {

const UINT kGbk = 936;
// The longest text is the password prompt, 101 characters.
const int kWideCapacity = 256;

// The text in the language chosen now as wide text (GBK holds the English
// texts' ASCII as it is).
void Widen(const BilingualText& text, wchar_t* out) {
    if (!MultiByteToWideChar(kGbk, 0, Localized(text), -1, out, kWideCapacity)) out[0] = L'\0';
}

} // namespace

void SetLocalizedText(HWND window, const BilingualText& text) {
    wchar_t wide[kWideCapacity];
    Widen(text, wide);
    SetWindowTextW(window, wide);
}

void ShowLocalizedWarning(HWND owner, const BilingualText& text, const BilingualText& caption) {
    wchar_t wideText[kWideCapacity], wideCaption[kWideCapacity];
    Widen(text, wideText);
    Widen(caption, wideCaption);
    MessageBoxW(owner, wideText, wideCaption, MB_ICONWARNING | MB_OK);
}

// 安装Kivra智能客户端
const BilingualText kSetupCaption = {
    "Kivra Setup",
    "\xb0\xb2\xd7\xb0\x4b\x69\x76\x72\x61\xd6\xc7\xc4\xdc\xbf\xcd\xbb\xa7\xb6\xcb"};

// 有正在运行的客户端安装程序，请稍候再试。
const BilingualText kAnotherInstanceText = {
    "A previous instance is still running. \nPlease try it later.",
    "\xd3\xd0\xd5\xfd\xd4\xda\xd4\xcb\xd0\xd0\xb5\xc4\xbf\xcd\xbb\xa7\xb6\xcb\xb0\xb2\xd7\xb0\xb3\xcc\xd0\xf2\xa3\xac\xc7\xeb\xc9\xd4\xba\xf2\xd4\xd9\xca\xd4\xa1\xa3"};

// 您没有管理员权限，无法进行安装操作！
const BilingualText kNotAdminText = {
    "You do not have administrative privileges on this computer, the program can not be installed!",
    "\xc4\xfa\xc3\xbb\xd3\xd0\xb9\xdc\xc0\xed\xd4\xb1\xc8\xa8\xcf\xde\xa3\xac\xce\xde\xb7\xa8\xbd\xf8\xd0\xd0\xb0\xb2\xd7\xb0\xb2\xd9\xd7\xf7\xa3\xa1"};

// 系统盘空间不足，安装要求系统盘必须有300M以上的空间。
const BilingualText kDiskShortText = {
    "The sys disk must have at least 300M free space to finish the setup.",
    "\xcf\xb5\xcd\xb3\xc5\xcc\xbf\xd5\xbc\xe4\xb2\xbb\xd7\xe3\xa3\xac\xb0\xb2\xd7\xb0\xd2\xaa\xc7\xf3\xcf\xb5\xcd\xb3\xc5\xcc\xb1\xd8\xd0\xeb\xd3\xd0\x33\x30\x30\x4d\xd2\xd4\xc9\xcf\xb5\xc4\xbf\xd5\xbc\xe4\xa1\xa3"};

// 客户端正在升级定制信息，请稍后再试。
const BilingualText kUpdaterRunsText = {
    "A previous instance is still running. \nPlease try it later.",
    "\xbf\xcd\xbb\xa7\xb6\xcb\xd5\xfd\xd4\xda\xc9\xfd\xbc\xb6\xb6\xa8\xd6\xc6\xd0\xc5\xcf\xa2\xa3\xac\xc7\xeb\xc9\xd4\xba\xf3\xd4\xd9\xca\xd4\xa1\xa3"};

// 卸载密码
const BilingualText kPasswordTitle = {
    "Uninstall Password",
    "\xd0\xb6\xd4\xd8\xc3\xdc\xc2\xeb"};

// 已安装的客户端受密码保护，需要输入卸载密码才能进行升级。请输入密码：
const BilingualText kPasswordPrompt = {
    "The client is protected by a password. Please input the password to proceed with the client upgrade.",
    "\xd2\xd1\xb0\xb2\xd7\xb0\xb5\xc4\xbf\xcd\xbb\xa7\xb6\xcb\xca\xdc\xc3\xdc\xc2\xeb\xb1\xa3\xbb\xa4\xa3\xac\xd0\xe8\xd2\xaa\xca\xe4\xc8\xeb\xd0\xb6\xd4\xd8\xc3\xdc\xc2\xeb\xb2\xc5\xc4\xdc\xbd\xf8\xd0\xd0\xc9\xfd\xbc\xb6\xa1\xa3\xc7\xeb\xca\xe4\xc8\xeb\xc3\xdc\xc2\xeb\xa3\xba"};

// 确定
const BilingualText kOkButton = {
    "OK",
    "\xc8\xb7\xb6\xa8"};

// 取消
const BilingualText kCancelButton = {
    "Cancel",
    "\xc8\xa1\xcf\xfb"};

// 密码错误，请重新输入：
const BilingualText kRetryNotice = {
    "Wrong password. Please try again:",
    "\xc3\xdc\xc2\xeb\xb4\xed\xce\xf3\xa3\xac\xc7\xeb\xd6\xd8\xd0\xc2\xca\xe4\xc8\xeb\xa3\xba"};

// 密码错误
const BilingualText kWrongPasswordCaption = {
    "Wrong Password",
    "\xc3\xdc\xc2\xeb\xb4\xed\xce\xf3"};

// 超过最大密码错误重试次数，安装程序即将退出。
const BilingualText kWrongPasswordText = {
    "You have input wrong passwords for the maximum number of times. The installation wizard is about to abort...",
    "\xb3\xac\xb9\xfd\xd7\xee\xb4\xf3\xc3\xdc\xc2\xeb\xb4\xed\xce\xf3\xd6\xd8\xca\xd4\xb4\xce\xca\xfd\xa3\xac\xb0\xb2\xd7\xb0\xb3\xcc\xd0\xf2\xbc\xb4\xbd\xab\xcd\xcb\xb3\xf6\xa1\xa3"};
