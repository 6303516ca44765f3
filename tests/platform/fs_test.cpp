#include <gtest/gtest.h>

#include "platform/fs.h"
#include "platform/secure_dir.h"
#include "platform/work_dir.h"
#include "support/winsupport.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class FsTest : public ::testing::Test {
protected:
    const std::string root = "C:\\fstest";
    void SetUp() override {
        RemoveTree(root);
        MakeDirs(root + "\\dir\\sub");
        WriteFileBytes(root + "\\file.txt", "x");
        WriteFileBytes(root + "\\dir\\a.dat", "a");
        WriteFileBytes(root + "\\dir\\sub\\b.dat", "b");
    }
    void TearDown() override { RemoveTree(root); }
};

TEST_F(FsTest, FilesAndDirectoriesAreTellApartAlsoByPattern) {
    EXPECT_TRUE(FileExists((root + "\\file.txt").c_str()));
    EXPECT_FALSE(DirExists((root + "\\file.txt").c_str()));
    EXPECT_TRUE(DirExists((root + "\\dir").c_str()));
    EXPECT_FALSE(FileExists((root + "\\dir").c_str()));
    EXPECT_FALSE(FileExists((root + "\\missing").c_str()));
    EXPECT_FALSE(DirExists((root + "\\missing").c_str()));

    EXPECT_TRUE(FileExists((root + "\\*.txt").c_str()));
    EXPECT_FALSE(FileExists((root + "\\d*").c_str())) << "only a directory matches";
    EXPECT_TRUE(DirExists((root + "\\d*").c_str()));
    EXPECT_TRUE(FileExists((root + "\\*").c_str()));
    EXPECT_TRUE(DirExists((root + "\\*").c_str()));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(DirExists(nullptr));
}

TEST_F(FsTest, JoinPathRefusesWhatDoesNotFit) {
    char out[12];
    EXPECT_EQ(JoinPath(out, sizeof out, "C:\\tmp", "abcd"), 1);
    EXPECT_STREQ(out, "C:\\tmp\\abcd");
    EXPECT_EQ(JoinPath(out, sizeof out, "C:\\tmp", "abcde"), 0);
    EXPECT_STREQ(out, "");
}

TEST_F(FsTest, DeletingFilesLeavesSubDirectoriesAndTakesReadOnlyFiles) {
    WriteFileBytes(root + "\\dir\\ro.dat", "r");
    SetFileAttributesA((root + "\\dir\\ro.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    DeleteMatchingFiles((root + "\\dir").c_str(), "*.*");
    EXPECT_FALSE(Exists(root + "\\dir\\a.dat"));
    EXPECT_FALSE(Exists(root + "\\dir\\ro.dat"));
    EXPECT_TRUE(Exists(root + "\\dir\\sub\\b.dat"));
}

TEST_F(FsTest, FlatDeletionKeepsADirectoryThatHoldsASubDirectory) {
    DeleteDirFlat((root + "\\dir").c_str());
    EXPECT_FALSE(Exists(root + "\\dir\\a.dat"));
    EXPECT_TRUE(Exists(root + "\\dir\\sub\\b.dat"));
    DeleteDirFlat((root + "\\dir\\sub").c_str());
    EXPECT_FALSE(Exists(root + "\\dir\\sub"));
}

TEST_F(FsTest, TreeDeletionRemovesEverythingBelowIncludingReadOnlyFiles) {
    SetFileAttributesA((root + "\\dir\\sub\\b.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(DeleteDirTree((root + "\\dir").c_str()), 1);
    EXPECT_FALSE(Exists(root + "\\dir"));
    EXPECT_EQ(DeleteDirTree((root + "\\dir").c_str()), 1) << "nothing to delete counts as done";
    DeleteSubDirTrees(root.c_str());
    EXPECT_TRUE(Exists(root + "\\file.txt"));
}

OwnerKind AdministratorsOwn(HANDLE) { return kOwnerAdministrators; }
int NobodyElseMayChange(HANDLE) { return 0; }

TEST_F(FsTest, AWorkDirThatAnAdministratorMadeIsEmptiedOfItsFilesOnly) {
    // Wine reports every directory as the current user's, and writable by
    // them: stand for one that an administrator made.
    g_getOwnerKind = AdministratorsOwn;
    g_othersMayChange = NobodyElseMayChange;
    RemoveTree("C:\\tmp\\KivraSetup0");
    char path[MAX_PATH] = {0};
    ASSERT_EQ(CreateWorkDir(path, sizeof path, "KivraSetup", 0, 1), 1);
    EXPECT_STREQ(path, "C:\\tmp\\KivraSetup0");
    EXPECT_TRUE(DirExists(path));

    const std::string w = path;
    WriteFileBytes(w + "\\old.exe", "o");
    WriteFileBytes(w + "\\ro.txt", "r");
    SetFileAttributesA((w + "\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    MakeDirs(w + "\\Qt\\plugins");
    WriteFileBytes(w + "\\Qt\\plugins\\p.dll", "p");

    char again[MAX_PATH] = {0};
    ASSERT_EQ(CreateWorkDir(again, sizeof again, "KivraSetup", 0, 1), 1);
    EXPECT_STREQ(again, path);
    EXPECT_FALSE(Exists(w + "\\old.exe"));
    EXPECT_FALSE(Exists(w + "\\ro.txt"));
    EXPECT_TRUE(Exists(w + "\\Qt\\plugins\\p.dll"));

    char small[18] = "untouched";
    EXPECT_EQ(CreateWorkDir(small, sizeof small, "KivraSetup", 0, 1), 0);
    EXPECT_STREQ(small, "untouched");
    RemoveTree(w);
    g_getOwnerKind = GetOwnerKind;
    g_othersMayChange = OthersMayChange;
}

// C:\linktest comes from make-links.sh: symbolic links into C:\linktest\target.
class LinkTest : public ::testing::Test {
protected:
    void ExpectTargetIntact() {
        EXPECT_EQ(ReadFileBytes("C:\\linktest\\target\\keep.txt"), "keep\n");
        EXPECT_EQ(ReadFileBytes("C:\\linktest\\target\\inner\\deep.txt"), "keep\n");
    }
};

TEST_F(LinkTest, WineShowsTheLinksAsReparsePoints) {
    DWORD attributes = GetFileAttributesA("C:\\linktest\\tree\\link");
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The links are removed as links where the platform lets them go; Wine 8 cannot
// remove a directory symbolic link at all, so there it stays. Either way nothing
// below the link is touched.
TEST_F(LinkTest, DeletionNeverDescendsIntoALinkedDirectory) {
    DeleteDirFlat("C:\\linktest\\flat");
    ExpectTargetIntact();

    DeleteDirTree("C:\\linktest\\tree");
    EXPECT_FALSE(Exists("C:\\linktest\\tree\\top.txt"));
    EXPECT_FALSE(Exists("C:\\linktest\\tree\\sub\\file.txt"));
    ExpectTargetIntact();

    DeleteDirTree("C:\\linktest\\treelink");
    ExpectTargetIntact();
}

} // namespace
