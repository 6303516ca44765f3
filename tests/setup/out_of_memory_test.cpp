// Setup.exe's operator new returns null when memory runs out; the compiler
// must keep the checks after every new (-fcheck-new) instead of running a
// constructor on null. This program links that same operator new.
#include <gtest/gtest.h>

#include "setup/nothrow_new.h"
#include "support/winsupport.h"
#include "xml/custom_xml_parse.h"

namespace {

// The next allocation fails; later ones succeed again (TinyXML's own string
// class does not survive a failed allocation, and its error path needs one).
void* FailOnce(size_t) {
    g_allocate = nullptr;
    return nullptr;
}

TEST(OutOfMemoryTest, ADocumentThatCannotBeBuiltReadsAsNotLoaded) {
    const char path[] = "C:\\oom\\KivraCustom.xml";
    MakeDirs("C:\\oom");
    ASSERT_TRUE(WriteFileBytes(path, "<msg><content><uninstallInfo><uninstall>1</uninstall>"
                                     "</uninstallInfo></content></msg>"));
    CustomUninstallInfo record;
    CustomUninstallInfoDefaults(&record);
    CCustomXmlParse parser;

    // The first new of the load is the document's first element.
    g_allocate = FailOnce;
    EXPECT_EQ(parser.GetUninstallInfo(path, &record), 0);
    EXPECT_EQ(g_allocate, nullptr) << "the allocation was asked for";
    EXPECT_EQ(record.uninstall, 0u) << "the record is left as it was";

    EXPECT_EQ(parser.GetUninstallInfo(path, &record), 1) << "loads once memory is back";
    EXPECT_EQ(record.uninstall, 1u);
    RemoveTree("C:\\oom");
}

} // namespace
