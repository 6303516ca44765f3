#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xml/based_xml_parser.h"
#include "xml/custom_xml_parse.h"

namespace {

// Opens the protected loading and cursor operations to the tests.
class Parser : public CBasedTXmlParser {
public:
    // Parses text and puts the cursor on the element at path; 0 when the text
    // does not parse.
    int Load(const char* text, std::vector<const char*> path) {
        if (!ParseDocument(text)) return 0;
        MoveCursor(path.data(), (int)path.size());
        return 1;
    }
    std::string Text(const char* name, unsigned short maxLen = 0, unsigned outSize = 64) {
        std::string out(outSize, 'x');
        unsigned n = GetNV1(name, &out[0], outSize, maxLen);
        EXPECT_EQ('\0', out[n]);
        return out.substr(0, n);
    }
    uint32_t UInt(const char* name) {
        uint32_t v = 12345;
        GetNVUInt(name, &v);
        return v;
    }
    int32_t Int(const char* name) {
        int32_t v = 12345;
        GetNVInt(name, &v);
        return v;
    }
    bool HasCursor() const { return current_ != nullptr; }
    bool HasRoot() const { return root_ != nullptr; }
};

const char kSection[] =
    "<msg><content><s>"
    "<word>abcdef</word><num>42abc</num><neg>-7</neg><spaced>  +19 </spaced><empty></empty>"
    "<selfclosed/><commented><!-- 5 --></commented><nested><n>3</n></nested>"
    "<cdata><![CDATA[8]]></cdata><Word>other</Word><dup>1</dup><dup>2</dup>"
    "</s></content></msg>";

TEST(BasedXmlParser, TextOfTheFirstChildElementCutToTheMaximumLength) {
    Parser p;
    ASSERT_EQ(1, p.Load(kSection, {"msg", "content", "s"}));
    EXPECT_EQ("abcdef", p.Text("word"));
    EXPECT_EQ("abc", p.Text("word", 3));
    EXPECT_EQ("abcdef", p.Text("word", 6));
    EXPECT_EQ("abcd", p.Text("word", 0, 5)) << "the buffer's size cuts too";
    EXPECT_EQ("other", p.Text("Word")) << "names are case-sensitive";
    EXPECT_EQ("1", p.Text("dup")) << "the first of two";
    EXPECT_EQ("8", p.Text("cdata"));
}

TEST(BasedXmlParser, ElementsWithoutTextReadAsEmptyOrZero) {
    Parser p;
    ASSERT_EQ(1, p.Load(kSection, {"msg", "content", "s"}));
    for (const char* name : {"empty", "selfclosed", "commented", "nested", "missing"}) {
        EXPECT_EQ("", p.Text(name)) << name;
        EXPECT_EQ(0u, p.UInt(name)) << name;
        EXPECT_EQ(0, p.Int(name)) << name;
    }
    EXPECT_EQ("", p.Text(nullptr));
    EXPECT_EQ(0u, p.UInt(nullptr));
}

TEST(BasedXmlParser, NumbersFollowTheRuntimeConversions) {
    Parser p;
    ASSERT_EQ(1, p.Load(kSection, {"msg", "content", "s"}));
    EXPECT_EQ(42u, p.UInt("num"));
    EXPECT_EQ(42, p.Int("num"));
    EXPECT_EQ(-7, p.Int("neg"));
    EXPECT_EQ(19u, p.UInt("spaced"));
    EXPECT_EQ(0u, p.UInt("word"));
}

TEST(BasedXmlParser, WithoutCursorEverythingReadsEmpty) {
    Parser p;
    EXPECT_EQ("", p.Text("word"));
    ASSERT_EQ(1, p.Load(kSection, {"msg", "nothing"}));
    EXPECT_FALSE(p.HasCursor());
    EXPECT_EQ("", p.Text("word"));
    EXPECT_EQ(0u, p.UInt("num"));
    // A failed parse leaves no document: both pointers none.
    EXPECT_EQ(0, p.Load("<msg><content>", {"msg"}));
    EXPECT_FALSE(p.HasRoot());
    EXPECT_FALSE(p.HasCursor());
}

TEST(BasedXmlParser, StrGetterCutsStoredBytesThenConverts) {
    Parser p;
    // "a中" is 4 UTF-8 bytes; a cut at 3 leaves a fragment, which is dropped.
    ASSERT_EQ(1, p.Load("<r><t>a\xE4\xB8\xAD</t><e></e></r>", {"r"}));
    char out[16];
    EXPECT_EQ(1u, p.GetNVStr("t", out, sizeof out, 3));
    EXPECT_STREQ("a", out);
    EXPECT_EQ(0u, p.GetNVStr("e", out, sizeof out, 0));
    EXPECT_STREQ("", out);
    EXPECT_GE(p.GetNVStr("t", out, sizeof out, 4), 2u);
}

// The custom reader's empty document: the cursor on msg/content, where the
// sections would go, and nothing to read yet.
class EmptyDocProbe : public CCustomXmlParse {
public:
    std::string RootName() const { return root_ ? root_->Value() : ""; }
    std::string CursorName() const { return current_ ? current_->Value() : ""; }
    std::string Declaration() const {
        const TiXmlNode* first = doc_.FirstChild();
        const TiXmlDeclaration* d = first ? first->ToDeclaration() : nullptr;
        return d ? std::string(d->Version()) + "/" + d->Encoding() : "";
    }
    bool ContentIsEmpty() const { return current_ && !current_->FirstChild(); }
};

TEST(CustomXmlParse, NewXmlBuildsTheEmptySettingsDocument) {
    EmptyDocProbe p;
    p.NewXml();
    EXPECT_EQ("1.0/UTF-8", p.Declaration());
    EXPECT_EQ("msg", p.RootName());
    EXPECT_EQ("content", p.CursorName());
    EXPECT_TRUE(p.ContentIsEmpty());
    char out[8];
    EXPECT_EQ(0u, p.GetNV1("functions", out, sizeof out, 0));
}

} // namespace
