#include <gtest/gtest.h>
#include <windows.h>

#include <stdlib.h>
#include <string>

#include "xml/utf8_to_ansi.h"

namespace {

std::string Convert(const std::string& utf8, unsigned capacity = 512) {
    std::string out(capacity + 16, '\x55');
    unsigned n = Utf8ToAnsi(utf8.data(), (unsigned)utf8.size(), &out[0], capacity);
    EXPECT_LT(n, capacity);
    EXPECT_EQ('\0', out[n]) << "terminator";
    EXPECT_EQ(std::string(16, '\x55'), out.substr(capacity)) << "written past the capacity";
    return out.substr(0, n);
}

// "中文" in UTF-8 and in code page 936 (GBK).
const std::string kChineseUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";
const std::string kChineseGbk = "\xD6\xD0\xCE\xC4";

bool ChineseRun() {
    const char* expected = getenv("KIVRA_EXPECT_ACP");
    if (expected) {
        EXPECT_EQ((UINT)atoi(expected), GetACP()) << "the run's code page";
    }
    return GetACP() == 936;
}

TEST(Utf8ToAnsi, AsciiIsCopiedAndChineseBecomesGbkUnderCodePage936) {
    EXPECT_EQ("abc 123", Convert("abc 123"));
    if (ChineseRun()) {
        EXPECT_EQ("x" + kChineseGbk + "y", Convert("x" + kChineseUtf8 + "y"));
    } else {
        // No such characters in a Western code page: its default character.
        EXPECT_EQ("x??y", Convert("x" + kChineseUtf8 + "y"));
    }
}

TEST(Utf8ToAnsi, ThreeByteFormOfASmallCharacterGivesThatCharacter) {
    // 'A' (U+0041) and U+00E9 written in the over-long three-byte form.
    EXPECT_EQ("A", Convert("\xE0\x81\x81"));
    if (GetACP() == 1252) {
        EXPECT_EQ("\xE9", Convert("\xE0\x83\xA9"));
    }
}

TEST(Utf8ToAnsi, TwoAndFourByteFormsAreWholeCharacters) {
    // U+00E9 in its proper two-byte form does not swallow the byte after it.
    std::string e = Convert("\xC3\xA9z");
    ASSERT_FALSE(e.empty());
    EXPECT_EQ('z', e.back());
    if (GetACP() == 1252) {
        EXPECT_EQ("\xE9z", e);
    } else if (GetACP() == 936) {
        EXPECT_EQ("\xA8\xA6z", e); // GBK has it, as a double byte
    }
    // U+1F600 (four bytes, a surrogate pair) becomes one character at most,
    // and the conversion goes on after it.
    std::string face = Convert("a\xF0\x9F\x98\x80z");
    ASSERT_GE(face.size(), 2u);
    EXPECT_EQ('a', face.front());
    EXPECT_EQ('z', face.back());
    EXPECT_LE(face.size(), 6u);
}

TEST(Utf8ToAnsi, SequenceCutShortByTheEndIsDroppedWithoutReadingPastIt) {
    // The input is copied into an exact-size heap block so that a read past
    // it would land outside the block.
    for (const std::string& input : {std::string("ab\xE4"), std::string("ab\xE4\xB8"),
                                     std::string("ab\xC3"), std::string("ab\xF0\x9F\x98")}) {
        char* exact = (char*)malloc(input.size());
        memcpy(exact, input.data(), input.size());
        char out[16];
        unsigned n = Utf8ToAnsi(exact, (unsigned)input.size(), out, sizeof out);
        free(exact);
        EXPECT_EQ("ab", std::string(out, n));
    }
    EXPECT_EQ("", Convert(std::string("\xE4\xB8", 2)));
}

TEST(Utf8ToAnsi, CapacityIsNeverPassedAndCharactersAreNotSplit) {
    EXPECT_EQ("abc", Convert("abcdef", 4));
    EXPECT_EQ("", Convert("abcdef", 1));
    char untouched = '\x55';
    EXPECT_EQ(0u, Utf8ToAnsi("abc", 3, &untouched, 0));
    EXPECT_EQ('\x55', untouched);
    if (ChineseRun()) {
        // Room for one GBK character and a half: only the whole one.
        EXPECT_EQ(kChineseGbk.substr(0, 2), Convert(kChineseUtf8, 4));
    }
}

TEST(Utf8ToAnsi, EncodedZeroIsDroppedRatherThanEndingTheText) {
    EXPECT_EQ("ab", Convert(std::string("a\xE0\x80\x80" "b", 5)));
}

} // namespace
