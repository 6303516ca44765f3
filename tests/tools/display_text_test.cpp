// The one rule by which the tools show outside text: what reaches a terminal
// is valid UTF-8 that cannot steer it.
#include <gtest/gtest.h>

#include <string>

#include "display_text.h"

namespace {

const std::string kR = "\xEF\xBF\xBD";  // U+FFFD

TEST(DisplayText, ReplacesWhatCouldSteerATerminalOrHideABytesMeaning) {
    struct Case {
        std::string bytes, shown;
    } cases[] = {
        {"a\x1B[2J\x7F", "a" + kR + "[2J" + kR},              // C0 and DEL
        {"\xC2\x80-\xC2\x9B-\xC2\x9F", kR + "-" + kR + "-" + kR},  // C1, 8-bit CSI among them
        {"\xC2\xA0\xC2\xA9", "\xC2\xA0\xC2\xA9"},              // the first printable ones stay
        {"\xE2\x80\xAA\xE2\x80\xAE\xE2\x81\xA6\xE2\x81\xA9", kR + kR + kR + kR},  // bidi controls
        {"\xE2\x80\xAF", "\xE2\x80\xAF"},                      // a narrow no-break space stays
        {"\xC0\xAF", kR + kR},                                 // an overlong '/'
        {"\xE0\x9F\xBF", kR + kR + kR},                        // overlong three bytes
        {"\xED\xA0\x80", kR + kR + kR},                        // a surrogate
        {"\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},              // U+10FFFF, the last code point
        {"\xF4\x90\x80\x80", kR + kR + kR + kR},               // past it
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},              // four bytes
        {"\xE5\xAE\x89\xE8\xA3", "\xE5\xAE\x89" + kR + kR},    // cut at the end
        {"a\r\nb\tc\n", "a" + kR + kR + "b" + kR + "c" + kR},  // one line unless asked
    };
    for (const Case& c : cases) EXPECT_EQ(c.shown, tools::DisplayText(c.bytes)) << c.bytes;

    // Multiline keeps tab and line ends; a lone carriage return could still
    // overwrite what a line showed.
    EXPECT_EQ("a\r\nb\tc\n", tools::DisplayText("a\r\nb\tc\n", true));
    EXPECT_EQ("shown" + kR + "hidden", tools::DisplayText("shown\rhidden", true));
    EXPECT_EQ(kR, tools::DisplayText("\r", true));
    EXPECT_EQ(4u, tools::DisplayWidth("a\xE5\xAE\x89" + kR + "\xF0\x9F\x98\x80"));
}

}  // namespace
