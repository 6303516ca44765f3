// Choosing and holding the carrier, in this process: the executable is this
// test program, and the package copy lies beside it.
#include <gtest/gtest.h>

#include "pack/pack_format.h"
#include "platform/named_object.h"
#include "platform/own_executable.h"
#include "platform/secure_dir.h"
#include "setup/carrier.h"
#include "setup/package_copy.h"
#include "setup/package_source.h"
#include "support/winsupport.h"

namespace {

const char kProductKey[] = "SOFTWARE\\Kivra";

std::string OwnPath() {
    char path[MAX_PATH] = {0};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}
std::string CopyPath() { return OwnPath().substr(0, OwnPath().rfind('\\') + 1) + "KivraSetup.msi"; }

// Whether anyone else could write to the file now.
bool Writable(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// Removes the copy, or a link planted as one, on the Unix side: DeleteFileA on
// a link would delete what it leads to.
void RemoveCopy() { RunUnixShell("rm -f '" + UnixPathOf(CopyPath()) + "'"); }

OwnerKind AdministratorsOwn(HANDLE) { return kOwnerAdministrators; }
int NobodyElseMayChange(HANDLE) { return 0; }

// Stands for a package source that lies in an administrators' folder: that
// file alone is theirs and closed to others; everything else keeps Wine's
// facts (the user's, writable).
const char kAdministratorsSource[] = "C:\\pkgsource\\KivraSetup.msi";
bool IsAdministratorsSource(HANDLE object) {
    char path[MAX_PATH];
    return FinalPathOf(object, path, sizeof path) && _stricmp(path, kAdministratorsSource) == 0;
}
OwnerKind SourceOwner(HANDLE object) { return IsAdministratorsSource(object) ? kOwnerAdministrators : GetOwnerKind(object); }
int SourceOthers(HANDLE object) { return IsAdministratorsSource(object) ? 0 : OthersMayChange(object); }

class CarrierTest : public ::testing::Test {
protected:
    const std::string source = "C:\\pkgsource\\KivraSetup.msi";
    void SetUp() override {
        ResetSharedState();
        ClearLogs();
        g_getOwnerKind = GetOwnerKind;
        g_othersMayChange = OthersMayChange;
        RemoveCopy();
        RemoveTree("C:\\pkgsource");
        MakeDirs("C:\\pkgsource");
        ASSERT_TRUE(WriteFileBytes(source, "the package from its source"));
        SetRegDword(kProductKey, "InstallByMsi", 1);
        SetRegString(kProductKey, "MsiSourceName", source.c_str());
    }
    void TearDown() override {
        g_getOwnerKind = GetOwnerKind;
        g_othersMayChange = OthersMayChange;
        DeleteRegValue(kProductKey, "InstallByMsi");
        DeleteRegValue(kProductKey, "MsiSourceName");
        RemoveCopy();
        RemoveTree("C:\\pkgsource");
    }
};

TEST_F(CarrierTest, TheExecutableIsHeldAsTheRunningImage) {
    DeleteRegValue(kProductKey, "InstallByMsi");
    Carrier carrier;
    ASSERT_EQ(ChooseCarrier(&carrier), 1);
    EXPECT_EQ(carrier.path, OwnPath());
    EXPECT_EQ(carrier.offset, pack::kSetupExeOffset);
    EXPECT_TRUE(IsRunningImage(carrier.file.Get()));
    EXPECT_FALSE(Writable(OwnPath())) << "held, sharing no writing";

    // A file of the same bytes is not the running image.
    std::string twin = "C:\\pkgsource\\twin.exe";
    ASSERT_TRUE(CopyFileA(OwnPath().c_str(), twin.c_str(), FALSE));
    ScopedHandle file(CreateFileA(twin.c_str(), GENERIC_READ | FILE_EXECUTE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr));
    EXPECT_FALSE(IsRunningImage(file.Get()));
}

TEST_F(CarrierTest, ACopyAnAdministratorMadeIsUsedAndHeld) {
    // Wine reports every file as its user's and writable by them; stand for
    // the copy an earlier setup made.
    g_getOwnerKind = AdministratorsOwn;
    g_othersMayChange = NobodyElseMayChange;
    ASSERT_TRUE(WriteFileBytes(CopyPath(), "the earlier copy"));
    DeleteFileA(source.c_str()); // it is not needed
    Carrier carrier;
    ASSERT_EQ(ChooseCarrier(&carrier), 1);
    EXPECT_EQ(carrier.path, CopyPath());
    EXPECT_EQ(carrier.offset, pack::kMsiCopyOffset);
    EXPECT_EQ(TodayLogMessages("setup"), (std::vector<std::string>{"msi install.", "InstallScript has copy msi file."}));
    EXPECT_FALSE(Writable(CopyPath())) << "held from the decision on";
}

TEST_F(CarrierTest, ACopyThatAUserCouldHaveMadeIsReplacedFromTheSource) {
    // Wine's own facts are those of a copy the user planted: theirs, writable.
    g_getOwnerKind = SourceOwner;
    g_othersMayChange = SourceOthers;
    ASSERT_TRUE(WriteFileBytes(CopyPath(), "planted"));
    Carrier carrier;
    ASSERT_EQ(ChooseCarrier(&carrier), 1);
    EXPECT_EQ(TodayLogMessages("setup"),
              (std::vector<std::string>{"msi install.", CopyPath() + " was not made by this setup; it is not used."}));
    EXPECT_FALSE(Writable(CopyPath())) << "held from its creation";
    carrier.file.Reset();
    EXPECT_EQ(ReadFileBytes(CopyPath()), "the package from its source");

    // Without a source that may be used there is nothing trustworthy to
    // unpack: one a user could have written (Wine's facts: the
    // administrator's Downloads folder), or none at all.
    g_getOwnerKind = GetOwnerKind;
    g_othersMayChange = OthersMayChange;
    for (int round = 0; round < 2; ++round) {
        ClearLogs();
        ASSERT_TRUE(WriteFileBytes(CopyPath(), "planted"));
        if (round == 1) DeleteFileA(source.c_str());
        Carrier none;
        EXPECT_EQ(ChooseCarrier(&none), 0);
        EXPECT_EQ(TodayLogMessages("setup"),
                  (std::vector<std::string>{"msi install.", CopyPath() + " was not made by this setup; it is not used.",
                                            "Network problem, cannot access source file."}));
        EXPECT_FALSE(none.file.Valid());
        EXPECT_EQ(ReadFileBytes(CopyPath()), "planted") << "nothing copied";
    }
}

TEST_F(CarrierTest, ATrustedLocalSourceIsHeldFromTheDecisionOnAndNeverTakenThroughALink) {
    g_getOwnerKind = SourceOwner;
    g_othersMayChange = SourceOthers;
    const std::string link = "C:\\pkgsource\\link.msi";
    ASSERT_TRUE(RunUnixShell("ln -s '" + UnixPathOf(source) + "' '" + UnixPathOf(link) + "'"));
    ScopedHandle held;
    EXPECT_EQ(HoldPackageSource(link.c_str(), &held), 0);
    RunUnixShell("rm -f '" + UnixPathOf(link) + "'");
    ASSERT_EQ(HoldPackageSource(source.c_str(), &held), 1);
    EXPECT_FALSE(Writable(source));
    EXPECT_FALSE(MoveFileA(source.c_str(), "C:\\pkgsource\\renamed.msi")) << "nor renamed away";
}

TEST_F(CarrierTest, ALinkPlantedAsTheCopyIsNeitherFollowedNorWrittenThrough) {
    g_getOwnerKind = SourceOwner;
    g_othersMayChange = SourceOthers;
    const std::string victim = "C:\\pkgsource\\victim.txt";
    ASSERT_TRUE(WriteFileBytes(victim, "keep"));
    ASSERT_TRUE(RunUnixShell("ln -s '" + UnixPathOf(victim) + "' '" + UnixPathOf(CopyPath()) + "'"));
    Carrier carrier;
    EXPECT_EQ(ChooseCarrier(&carrier), 0) << "Windows would remove the link itself; Wine cannot";
    EXPECT_EQ(LastMessage(TodayLogMessages("setup")), "Cannot use setup copy msi file, accessible error.");
    EXPECT_EQ(ReadFileBytes(victim), "keep");
}

} // namespace
