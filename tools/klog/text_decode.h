// The setup writes its logs in the ANSI code page of the machine: GBK (code
// page 936) on Chinese systems, Windows-1252 on most others. klog prints
// UTF-8, so every message is decoded on its way out.
#pragma once
#include <string>

namespace klog {

enum CodePage {
    kCodePageAuto,  // UTF-8 when the bytes are valid UTF-8, else GBK when they are valid GBK, else 1252
    kCodePageGbk,   // 936
    kCodePage1252,
};

// The bytes as UTF-8, shown by the tools' one rule (tools/common/display_text.h).
// Never fails: a byte that cannot be decoded becomes U+FFFD, and control
// characters other than tab and line breaks become U+FFFD too, so that a log
// line cannot steer a terminal.
std::string ToUtf8(const std::string& bytes, CodePage page);

// A name or path (a folder, a file, a machine) as the writers show it: names
// reach klog in UTF-8 (the system's, or converted from Windows' wide names),
// so they are only shown by the one rule, on one line.
std::string ShowName(const std::string& bytes);

// A path as given on the command line, shown so: on Windows it comes in the
// ANSI code page and is converted, elsewhere it is taken as UTF-8.
std::string ShowArgument(const std::string& bytes);

// Parses "auto", "936", "gbk", "1252"; false for anything else.
bool ParseCodePage(const std::string& text, CodePage* page);

}  // namespace klog
