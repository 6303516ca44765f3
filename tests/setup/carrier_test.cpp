// Choosing and holding the carrier, in this process: the executable is this
// test program, and the package copy lies beside it.
#include <gtest/gtest.h>

#include "pack/pack_format.h"
#include "platform/own_executable.h"
#include "platform/secure_dir.h"
#include "setup/carrier.h"
#include "setup/package_copy.h"
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
    ASSERT_TRUE(WriteFileBytes(CopyPath(), "planted"));
    Carrier carrier;
    ASSERT_EQ(ChooseCarrier(&carrier), 1);
    EXPECT_EQ(TodayLogMessages("setup"),
              (std::vector<std::string>{"msi install.", CopyPath() + " was not made by this setup; it is not used."}));
    EXPECT_FALSE(Writable(CopyPath())) << "held from its creation";
    carrier.file.Reset();
    EXPECT_EQ(ReadFileBytes(CopyPath()), "the package from its source");

    // Without a reachable source there is nothing trustworthy to unpack.
    ClearLogs();
    ASSERT_TRUE(WriteFileBytes(CopyPath(), "planted"));
    DeleteFileA(source.c_str());
    Carrier none;
    EXPECT_EQ(ChooseCarrier(&none), 0);
    EXPECT_EQ(TodayLogMessages("setup"),
              (std::vector<std::string>{"msi install.", CopyPath() + " was not made by this setup; it is not used.",
                                        "Network problem, cannot access source file."}));
    EXPECT_FALSE(none.file.Valid());
}

TEST_F(CarrierTest, ALinkPlantedAsTheCopyIsNeitherFollowedNorWrittenThrough) {
    const std::string victim = "C:\\pkgsource\\victim.txt";
    ASSERT_TRUE(WriteFileBytes(victim, "keep"));
    ASSERT_TRUE(RunUnixShell("ln -s '" + UnixPathOf(victim) + "' '" + UnixPathOf(CopyPath()) + "'"));
    Carrier carrier;
    EXPECT_EQ(ChooseCarrier(&carrier), 0) << "Windows would remove the link itself; Wine cannot";
    EXPECT_EQ(LastMessage(TodayLogMessages("setup")), "Cannot use setup copy msi file, accessible error.");
    EXPECT_EQ(ReadFileBytes(victim), "keep");
}

} // namespace
