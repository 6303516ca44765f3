// A clean installed-client state for each test: no customisation files, no
// backups, no registry values; and helpers to lay out verified files.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

extern const std::string kRegInfo;    // ...\Common Files\Kivra\Nexa Client\reginfo
extern const std::string kOldRegInfo; // ...\Common Files\Vendra-Trion\Nexa Client\reginfo
extern const std::string kBackup;     // C:\windows\system32
extern const char kCurrentProductKey[];
extern const char kCurrentVersionKey[]; // where the system records CommonFilesDir
extern const char kOlderProductKey[];

// A 256-byte verification file for data, over the default block or over the
// 32 bytes at offset 512 of icon.
std::string MakeVrf(const std::string& data, const std::string& icon = "");
// An icon file of size bytes whose bytes 512..543 are distinctive.
std::string MakeIcon(size_t size);
// Writes dir\name and, when vrfName is given, its verification file.
void WritePair(const std::string& dir, const std::string& name, const std::string& data,
               const std::string& vrfName, const std::string& icon = "");
// A customisation document with the given sections' inner XML.
std::string CustomXml(const std::string& sections);
// The enciphered text form of a password.
std::string Encipher(const std::string& clear);

class CustomTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::vector<std::string> Log(); // the "setup" category's entries of today
};
