// Documents that a damaged or hostile customisation file may hold: the reader
// must never crash, and reads as "not loaded" or as empty values.
#include <gtest/gtest.h>

#include <stdio.h>

#include <algorithm>
#include <string>

#include "xml/custom_xml_parse.h"
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

// The deepest documents that fit the size bound, in every shape of nesting:
// each is read, and freed, on the stack that Setup.exe reserves, by a process
// linked like Setup.exe; none may come near the reserve's end.
TEST_F(HostileXmlTest, DeepestDocumentsAtTheBoundFitSetupsStack) {
    // Levels of the pattern open..close that fit with head and tail.
    auto deepest = [](const std::string& head, const std::string& open, const std::string& close,
                      const std::string& middle = "", const std::string& tail = "") {
        size_t levels = (kMaxXmlFileSize - head.size() - middle.size() - tail.size()) /
                        (open.size() + close.size());
        return head + Nest((unsigned)levels, open, close, middle) + tail;
    };
    const std::string icon = "<logoOptions><CusIconName>deep.ico</CusIconName></logoOptions>";
    const std::string shapes[] = {
        deepest("", "<a>", ""),                                  // never closed
        deepest("\xEF\xBB\xBF<?xml version='1.0'?>", "<a>", ""),  // declared, never closed
        deepest("", "<a>", "</a>"),
        deepest("", "<a><a/>", "</a>"),
        deepest("", "<a b='1' c=\"2\">", "</a>"),
        deepest("", "<a><!-- c -->", "</a>"),
        deepest("", "<a>x", "</a>"),
        deepest("", "<a><![CDATA[x]]>", "</a>"),
        // A settings document that still gives its value.
        deepest("<msg><content>" + icon, "<a>", "</a>", "", "</content></msg>"),
    };
    const std::string out = std::string(kDir) + "\\stack.txt";
    unsigned long worst = 0, reserve = 0;
    for (const std::string& doc : shapes) {
        ASSERT_LE(doc.size(), kMaxXmlFileSize);
        std::string path = Write("deep.xml", doc);
        DeleteFileA(out.c_str());
        ChildRun run = RunChild("\"" + BuildPath("tests/xml/xml_stack_probe.exe") + "\" \"" + path +
                                "\" \"" + out + "\"");
        // Wine may end an overflowing process with 0 too; only a read that
        // came back writes the figures.
        EXPECT_EQ(0, run.exitCode) << doc.substr(0, 40);
        unsigned long used = 0;
        ASSERT_EQ(2, sscanf(ReadFileBytes(out).c_str(), "%lu %lu", &used, &reserve));
        printf("[ stack    ] %-24s %6u bytes: %7lu bytes of stack\n",
               doc.substr(0, 24).c_str(), (unsigned)doc.size(), used);
        worst = std::max(worst, used);
    }
    // The probe ran on Setup.exe's reserve, and the worst shape used at most a
    // third of it in the shipped i686 build. An x86_64 build (the tests' stand-in
    // where the kernel runs no 32-bit programs) has frames twice as wide: there
    // it must only fit.
    EXPECT_LE(reserve, (unsigned long)KIVRA_SETUP_STACK);
    EXPECT_GT(reserve, (unsigned long)KIVRA_SETUP_STACK - 65536);
    EXPECT_LE(worst * (sizeof(void*) == 4 ? 3 : 1), (unsigned long)KIVRA_SETUP_STACK);
    // The deep settings document is read whole.
    CustomLogoOptions logo;
    CustomLogoOptionsDefaults(&logo);
    CCustomXmlParse reader;
    ASSERT_EQ(1, reader.GetLogoOptions(Write("deep.xml", shapes[8]).c_str(), &logo));
    EXPECT_STREQ("deep.ico", logo.CusIconName);
}

TEST_F(HostileXmlTest, HugeTextAndHugeFile) {
    // A text filling a document at the bound is read; one byte more and the
    // document is not loaded at all.
    std::string doc = SettingsDoc("<functions><userFromExtendPro></userFromExtendPro>"
                                  "<uninstall>1</uninstall></functions>");
    const size_t at = doc.find("</userFromExtendPro>");
    doc.insert(at, std::string(kMaxXmlFileSize - doc.size(), 'h'));
    ASSERT_EQ(kMaxXmlFileSize, doc.size());
    ASSERT_EQ(1, ReadFunctions(doc));
    EXPECT_EQ(std::string(32, 'h'), functions_.userFromExtendPro);
    EXPECT_EQ(1u, functions_.uninstall);
    doc.insert(at, "h");
    EXPECT_EQ(0, ReadFunctions(doc));
    EXPECT_EQ(0u, functions_.uninstall);
}

} // namespace
