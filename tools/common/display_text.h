// How the tools show text that came from outside (names, paths, log lines,
// clear texts): as UTF-8 that cannot steer a terminal, whatever its bytes. One
// rule for kpack, vrftool and klog, in text, JSON and HTML alike.
#pragma once
#include <stddef.h>

#include <string>

namespace tools {

// The text as it may be shown: valid UTF-8 stays; each byte that belongs to no
// valid UTF-8 sequence, each control character (C0, DEL, C1) and each bidi
// override or isolate (which reorder what a terminal shows) becomes U+FFFD.
// With multiline set, tab, line feed and a carriage return before a line feed
// stay, so that a log entry keeps its lines; otherwise they are replaced too.
std::string DisplayText(const std::string& bytes, bool multiline = false);

// The length of the valid UTF-8 sequence at s[i], or 0 when the byte there
// starts none (an overlong form, a surrogate, a code point above U+10FFFF).
size_t Utf8SequenceAt(const std::string& s, size_t i);

// The number of code points of valid UTF-8 text, for aligning columns.
size_t DisplayWidth(const std::string& utf8);

}  // namespace tools
