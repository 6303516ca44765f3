// The package's registered source: a share is the administrator's choice; a
// file on this machine is used only when only administrators control it, and
// it is held from that decision through the copy.
#include <gtest/gtest.h>

#include "platform/named_object.h"
#include "platform/open_relative.h"
#include "platform/secure_dir.h"
#include "setup/package_copy.h"
#include "setup/package_source.h"
#include "support/winsupport.h"

namespace {

const std::string kDir = "C:\\pkgheld";
const std::string kSource = kDir + "\\KivraSetup.msi";

// Stands for a source in an administrators' folder: kSource alone is theirs
// and closed to others; everything else keeps Wine's facts (the user's).
bool IsStoodFor(HANDLE object) {
    char path[MAX_PATH];
    return FinalPathOf(object, path, sizeof path) && _stricmp(path, kSource.c_str()) == 0;
}
OwnerKind StoodForOwner(HANDLE object) { return IsStoodFor(object) ? kOwnerAdministrators : GetOwnerKind(object); }
int StoodForOthers(HANDLE object) { return IsStoodFor(object) ? 0 : OthersMayChange(object); }

class PackageSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveTree(kDir);
        MakeDirs(kDir);
        ASSERT_TRUE(WriteFileBytes(kSource, "the package"));
    }
    void TearDown() override {
        g_getOwnerKind = GetOwnerKind;
        g_othersMayChange = OthersMayChange;
        RemoveTree(kDir);
    }
};

TEST(PackageSourcePath, SharesAreToldFromThisMachinesPaths) {
    for (const char* share : {"\\\\server\\share\\KivraSetup.msi", "//server/share/KivraSetup.msi",
                              "\\\\?\\UNC\\server\\share\\KivraSetup.msi"})
        EXPECT_EQ(IsSharePath(share), 1) << share;
    for (const char* local : {"C:\\Users\\admin\\Downloads\\KivraSetup.msi", "\\\\?\\C:\\KivraSetup.msi",
                              "\\\\.\\C:\\KivraSetup.msi", "\\\\?\\UNCX\\a", "KivraSetup.msi", ""})
        EXPECT_EQ(IsSharePath(local), 0) << local;
}

TEST_F(PackageSourceTest, OnlyAFileOnlyAdministratorsControlIsUsedAndItIsHeldThroughTheCopy) {
    // Wine's facts are those of the administrator's Downloads folder: the
    // file is the user's own and they may write it.
    ScopedHandle source;
    EXPECT_EQ(HoldPackageSource(kSource.c_str(), &source), 0);

    g_getOwnerKind = StoodForOwner;
    g_othersMayChange = StoodForOthers;
    ASSERT_TRUE(RunUnixShell("ln -sfn '" + UnixPathOf(kSource) + "' '" + UnixPathOf(kDir + "\\link.msi") + "'"));
    EXPECT_EQ(HoldPackageSource((kDir + "\\link.msi").c_str(), &source), 0) << "not through a link";
    ASSERT_EQ(HoldPackageSource(kSource.c_str(), &source), 1);
    ScopedHandle writer(CreateFileA(kSource.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer.Valid()) << "nobody writes to it while it is held";
    EXPECT_FALSE(MoveFileA(kSource.c_str(), (kDir + "\\renamed.msi").c_str())) << "nor renames it away";

    // The copy is read from the held handle.
    MakeDirs(kDir + "\\beside");
    ScopedHandle dir(OpenRelative(nullptr, (kDir + "\\beside").c_str(), FILE_LIST_DIRECTORY,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, kOpenExisting, kDirectoryOnly));
    ScopedHandle copy;
    ASSERT_EQ(MakePackageCopy(dir.Get(), (kDir + "\\beside").c_str(), source.Get(), &copy), 1);
    copy.Reset();
    EXPECT_EQ(ReadFileBytes(kDir + "\\beside\\KivraSetup.msi"), "the package");
}

} // namespace
