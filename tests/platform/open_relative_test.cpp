#include <gtest/gtest.h>

#include "platform/handle.h"
#include "platform/open_relative.h"
#include "support/winsupport.h"

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// What a folder that ordinary users may change can become while the setup
// holds it: its name made to lead elsewhere (a mount point on Windows; a
// symbolic link here). A name opened in the held folder stays in it.
TEST(OpenRelativeTest, ANameIsLookedUpInTheHeldFolderWhereverItsPathLeadsNow) {
    const std::string held = "C:\\tmp\\relative", moved = held + ".moved", elsewhere = "C:\\tmp\\relative.elsewhere";
    for (const std::string& dir : {held, moved, elsewhere}) RemoveTree(dir);
    DeleteFileA(held.c_str());
    MakeDirs(held);
    MakeDirs(elsewhere);
    ScopedHandle dir(CreateFileA(held.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ASSERT_TRUE(dir.Valid());
    ASSERT_TRUE(MoveFileA(held.c_str(), moved.c_str()));
    ASSERT_TRUE(RunUnixShell("ln -s '" + UnixPathOf(elsewhere) + "' '" + UnixPathOf(held) + "'"));

    ScopedHandle made(OpenRelative(dir.Get(), "day.log", GENERIC_WRITE, FILE_SHARE_READ, kCreateNew, kFileOnly));
    EXPECT_TRUE(made.Valid());
    made.Reset();
    EXPECT_TRUE(Exists(moved + "\\day.log"));
    EXPECT_FALSE(Exists(elsewhere + "\\day.log"));

    // A create never opens what already has the name.
    EXPECT_FALSE(ScopedHandle(OpenRelative(dir.Get(), "day.log", GENERIC_WRITE, FILE_SHARE_READ, kCreateNew, kFileOnly)).Valid());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(ScopedHandle(OpenRelative(dir.Get(), "none.log", GENERIC_WRITE, 0, kOpenExisting, kFileOnly)).Valid());
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_FILE_NOT_FOUND);

    dir.Reset();
    RunUnixShell("rm -f '" + UnixPathOf(held) + "'");
    RemoveTree(moved);
    RemoveTree(elsewhere);
}

} // namespace
