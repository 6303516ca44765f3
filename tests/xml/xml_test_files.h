// Documents on disk for the XML tests: a scratch folder under C:\tmp, emptied
// before and after each test.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "support/winsupport.h"

class XmlFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kDir);
        MakeDirs(kDir);
    }
    void TearDown() override { RemoveTree(kDir); }

    // Writes bytes to a file of the scratch folder and returns its path.
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = std::string(kDir) + "\\" + name;
        EXPECT_TRUE(WriteFileBytes(path, bytes)) << path;
        return path;
    }

    static constexpr const char* kDir = "C:\\tmp\\KivraXmlTest";
};

// A settings document with the given sections' inner XML.
inline std::string SettingsDoc(const std::string& sections) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<msg>\r\n<content>\r\n" + sections +
           "</content>\r\n</msg>\r\n";
}
