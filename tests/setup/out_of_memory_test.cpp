// Setup.exe's operator new (linked here too) returns null when memory runs out;
// -fcheck-new must keep the check after every new instead of running a
// constructor on null.
#include <gtest/gtest.h>

#include "setup/nothrow_new.h"
#include "support/winsupport.h"
#include "xml/custom_xml_parse.h"

namespace {

// Fails one allocation: TinyXML's string class survives none, and the error
// path of a parse needs one.
void* FailOnce(size_t) {
    g_allocate = nullptr;
    return nullptr;
}

TEST(OutOfMemoryTest, ADocumentThatCannotBeBuiltReadsAsNotLoaded) {
    ASSERT_TRUE(WriteFileBytes("C:\\oom.xml", "<msg><content><uninstallInfo><uninstall>1</uninstall>"
                                              "</uninstallInfo></content></msg>"));
    CustomUninstallInfo record;
    CustomUninstallInfoDefaults(&record);
    CCustomXmlParse parser;
    g_allocate = FailOnce; // the load's first new is the document's first element
    EXPECT_EQ(parser.GetUninstallInfo("C:\\oom.xml", &record), 0);
    EXPECT_EQ(g_allocate, nullptr) << "the allocation was asked for";
    EXPECT_EQ(record.uninstall, 0u);
    EXPECT_EQ(parser.GetUninstallInfo("C:\\oom.xml", &record), 1) << "loads once memory is back";
    EXPECT_EQ(record.uninstall, 1u);
}

} // namespace
