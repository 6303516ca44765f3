// Setup.exe is started elevated from folders that users write to: what lies
// beside it must not run with its rights.
#include <gtest/gtest.h>

#include "custom/common_files.h"
#include "support/winsupport.h"

namespace {

const char kMarker[] = "C:\\tmp\\fake-dbghelp-loaded.txt";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Wine prefers its own built-in debug-help library to one found beside a
// program; Windows takes the one beside the program. This makes Wine behave
// like Windows for that library.
class PreferPlantedLibrary {
public:
    PreferPlantedLibrary() {
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key_, nullptr);
        RegSetValueExA(key_, "dbghelp", 0, REG_SZ, (const BYTE*)"native,builtin", 15);
    }
    ~PreferPlantedLibrary() {
        RegDeleteValueA(key_, "dbghelp");
        RegCloseKey(key_);
    }

private:
    HKEY key_ = nullptr;
};

TEST(DllPlantingTest, ADebugHelpLibraryPlantedBesideSetupIsNotLoaded) {
    ResetSharedState();
    PreferPlantedLibrary windowsLike;
    RemoveTree("C:\\downloads");
    MakeDirs("C:\\downloads");
    ASSERT_TRUE(CopyFileA(BuildPath("tests/helpers/dbghelp.dll").c_str(), "C:\\downloads\\dbghelp.dll", FALSE));
    ASSERT_TRUE(CopyFileA(HelperExe("loaddll").c_str(), "C:\\downloads\\loaddll.exe", FALSE));
    ASSERT_TRUE(CopyFileA(SetupExe().c_str(), "C:\\downloads\\Setup.exe", FALSE));

    // The plant works: a program that asks for the library by its bare name
    // gets the one beside it.
    DeleteFileA(kMarker);
    ChildRun control = RunChild("C:\\downloads\\loaddll.exe dbghelp.dll");
    EXPECT_EQ(control.exitCode, 0);
    ASSERT_TRUE(Exists(kMarker)) << "the planted library must be loadable for this test to mean anything";

    // Setup.exe needs MakeSureDirectoryPathExists when the reginfo directory is
    // missing, and takes it from the system directory.
    DeleteFileA(kMarker);
    // Where Setup.exe finds it: "Program Files (x86)" for an i686 build on
    // 64-bit Windows, as this program sees it too.
    const std::string kRegInfoParent = std::string(utl_GetCommonProgramFiles()) + "\\Kivra";
    RemoveTree(kRegInfoParent);
    ChildRun run = RunChild("C:\\downloads\\Setup.exe");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(Exists(kMarker));
    EXPECT_TRUE(Exists(kRegInfoParent + "\\Nexa Client\\reginfo")) << "made through the system's library";
    RemoveTree("C:\\downloads");
}

} // namespace
