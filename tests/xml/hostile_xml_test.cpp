// Documents that a damaged or hostile customisation file may hold: the reader
// must never crash, and reads as "not loaded" or as empty values.
#include <gtest/gtest.h>

#include <string>

#include "xml/custom_xml_parse.h"
#include "xml/xml_nesting.h"
#include "xml_test_files.h"

namespace {

class HostileXmlTest : public XmlFilesTest {
protected:
    // GetFunctions on a document with these bytes; the record starts at defaults.
    int ReadFunctions(const std::string& bytes) {
        CustomFunctionsDefaults(&functions_);
        CCustomXmlParse reader;
        return reader.GetFunctions(Write("h.xml", bytes).c_str(), &functions_);
    }
    CustomFunctions functions_;
};

const std::string kValid =
    SettingsDoc("<functions a=\"1\"><uninstall>1</uninstall><userFromExtendPro>x\xE4\xB8\xAD"
                "</userFromExtendPro></functions>");

TEST_F(HostileXmlTest, ByteOrderMarkAttributesAndLineEndsAreFine) {
    ASSERT_EQ(1, ReadFunctions("\xEF\xBB\xBF" + kValid));
    EXPECT_EQ(1u, functions_.uninstall);
    ASSERT_EQ(1, ReadFunctions("<msg v='2'><content x=\"<y>\">\r<functions>\r\n"
                               "<uninstall id=\"u\" >\r\n 4 \r</uninstall></functions>"
                               "</content></msg>"));
    EXPECT_EQ(4u, functions_.uninstall);
}

TEST_F(HostileXmlTest, MalformedDocumentsAreNotLoaded) {
    for (const char* bytes : {"", "   ", "plain text", "<msg><content></msg>", "<msg></gsm>",
                              "<msg><content><functions><uninstall>1</uninstall></functions>",
                              "<msg a=1 a=2></msg>", "<msg a='1></msg>", "<msg/ >",
                              "<msg>&#xZZ;</msg>", "<msg b=x\"y></msg>"}) {
        EXPECT_EQ(0, ReadFunctions(bytes)) << bytes;
        EXPECT_EQ(1u, functions_.dynamicVifInfo) << bytes;
    }
    // What TinyXML accepts as a document without elements reads as one
    // without sections.
    for (const char* bytes : {"<>", "<!-- never closed", "<?xml version='1.0'?>", "<!DOCTYPE x>"}) {
        ReadFunctions(bytes);
        EXPECT_EQ(1u, functions_.dynamicVifInfo) << bytes;
        EXPECT_EQ(0u, functions_.uninstall) << bytes;
    }
}

TEST_F(HostileXmlTest, EveryTruncationOfAValidDocumentIsSafe) {
    // Each prefix, including those ending inside a UTF-8 character: none but
    // the whole document gives a value.
    const size_t whole = kValid.rfind("</msg>") + 6;
    for (size_t n = 0; n < whole; ++n) {
        ReadFunctions(kValid.substr(0, n));
        EXPECT_EQ(0u, functions_.uninstall) << n;
        EXPECT_STREQ("", functions_.userFromExtendPro) << n;
    }
    EXPECT_EQ(1, ReadFunctions(kValid));
    EXPECT_EQ(1u, functions_.uninstall);
    EXPECT_STREQ(GetACP() == 936 ? "x\xD6\xD0" : "x?", functions_.userFromExtendPro);
}

TEST_F(HostileXmlTest, LeadByteAtTheVeryEndIsNotReadPast) {
    for (const char* tail : {"\xE4", "\xF0", "\xE4\xB8", "&#x", "&#"}) {
        std::string doc = std::string("<msg><content><functions><uninstall>1") + tail;
        EXPECT_EQ(0, ReadFunctions(doc)) << tail;
        EXPECT_EQ(0, ReadFunctions("\xEF\xBB\xBF" + doc)) << tail;
    }
}

std::string Nest(unsigned depth, const std::string& open, const std::string& close,
                 const std::string& middle = "") {
    std::string s;
    s.reserve(depth * (open.size() + close.size()) + middle.size());
    for (unsigned i = 0; i < depth; ++i) s += open;
    s += middle;
    for (unsigned i = 0; i < depth; ++i) s += close;
    return s;
}

TEST_F(HostileXmlTest, DeepNestingIsRefusedBeforeItCanExhaustTheStack) {
    const unsigned deep = 200000;
    EXPECT_EQ(0, ReadFunctions(Nest(deep, "<a>", "</a>")));
    EXPECT_EQ(0, ReadFunctions("\xEF\xBB\xBF" + Nest(deep, "<a>", "</a>")));
    EXPECT_EQ(0, ReadFunctions(SettingsDoc("<functions>" + Nest(deep, "<a x='1'>", "</a>") +
                                           "</functions>")));
    // Unclosed: a truncated deep document.
    EXPECT_EQ(0, ReadFunctions(Nest(deep, "<a>", "")));
    // Within the bound a nested document still loads.
    EXPECT_EQ(1, ReadFunctions(SettingsDoc("<functions><uninstall>1</uninstall>" +
                                           Nest(kMaxXmlNesting - 4, "<a>", "</a>") +
                                           "</functions>")));
    EXPECT_EQ(1u, functions_.uninstall);
}

TEST(XmlNesting, MarkupThatHidesNestingStillCounts) {
    // Each case nests deeper than the bound in TinyXML's eyes, behind text
    // that looks like closing tags in another reading of the markup.
    const unsigned deep = kMaxXmlNesting + 1;
    const std::string cases[] = {
        Nest(deep, "<a b=\"</a>\">", "</a>"),              // end tag inside an attribute
        Nest(deep, "<a><!-- </a> -->", "</a>"),            // inside a comment
        Nest(deep, "<a><![CDATA[</a>]]>", "</a>"),         // inside CDATA
        Nest(deep, "<a>&#x</a>x1;", "</a>"),               // inside a character reference
        Nest(deep, "<a>&#</a>#1;", "</a>"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + Nest(deep, "<a>\xE4</a>", "</a>"),
        "\xEF\xBB\xBF" + Nest(deep, "<a>\xF0</a>", "</a>"),  // swallowed by a UTF-8 lead byte
        "<?xml version='>' ?>" + Nest(deep, "<a>", "</a>"),
        Nest(deep, "<a><?xml v='</a>'?>", "</a>"),
    };
    for (const std::string& text : cases) {
        EXPECT_EQ(0, XmlNestingWithin(text.c_str(), kMaxXmlNesting)) << text.substr(0, 40);
    }
    // Flat documents of any length are within the bound.
    EXPECT_EQ(1, XmlNestingWithin(("<r>" + Nest(100000, "<a/><b></b><!--<c>-->", "") + "</r>").c_str(),
                                  kMaxXmlNesting));
    EXPECT_EQ(1, XmlNestingWithin(("<r>" + Nest(1000, "<a>\xE4</a>", "") + "</r>").c_str(), 2));
}

TEST_F(HostileXmlTest, HugeTextAndHugeFile) {
    const std::string huge(4 * 1024 * 1024, 'h');
    ASSERT_EQ(1, ReadFunctions(SettingsDoc("<functions><userFromExtendPro>" + huge +
                                           "</userFromExtendPro><uninstall>1</uninstall>"
                                           "</functions>")));
    EXPECT_EQ(huge.substr(0, 32), functions_.userFromExtendPro);
    EXPECT_EQ(1u, functions_.uninstall);
    // Past the size bound the document is not loaded at all.
    std::string tooBig = SettingsDoc("<functions><uninstall>1</uninstall></functions>");
    tooBig += std::string(kMaxXmlFileSize, ' ');
    EXPECT_EQ(0, ReadFunctions(tooBig));
}

} // namespace
