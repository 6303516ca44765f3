#include <gtest/gtest.h>

#include <aclapi.h>

#include <algorithm>

#include "platform/fs.h"
#include "platform/handle.h"
#include "platform/secure_dir.h"
#include "platform/work_dir.h"
#include "support/winsupport.h"

namespace {

const std::string W = "C:\\tmp\\KivraSetup0";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// Wine keeps no security descriptor of its own, so what the setup applies is
// read here from the descriptor it builds.
TEST(SecureDirTest, ProtectedDirectoriesBelongToAdministratorsAndInheritNothing) {
    PSECURITY_DESCRIPTOR sd = NewProtectedDirectorySecurity();
    ASSERT_TRUE(sd);
    PSID owner = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(sd, &owner, &defaulted));
    EXPECT_TRUE(IsWellKnown(owner, WinBuiltinAdministratorsSid));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(sd, &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from C:\\tmp";

    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    ASSERT_EQ(dacl->AceCount, 3);
    int admins = 0, system = 0, users = 0;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        ASSERT_TRUE(GetAce(dacl, i, (void**)&ace));
        ASSERT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
                  OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
        PSID sid = &ace->SidStart;
        if (IsWellKnown(sid, WinBuiltinAdministratorsSid)) admins = ace->Mask;
        if (IsWellKnown(sid, WinLocalSystemSid)) system = ace->Mask;
        if (IsWellKnown(sid, WinBuiltinUsersSid)) users = ace->Mask;
    }
    EXPECT_EQ((DWORD)admins, FILE_ALL_ACCESS);
    EXPECT_EQ((DWORD)system, FILE_ALL_ACCESS);
    EXPECT_EQ((DWORD)users, FILE_GENERIC_READ | FILE_GENERIC_EXECUTE) << "read and execute, no write";
    LocalFree(sd);
}

// What got the protected descriptor, in order.
std::vector<std::string> g_secured;
int RecordSecured(HANDLE, const char* path) {
    g_secured.push_back(path);
    return 1;
}
OwnerKind AdministratorsOwn(HANDLE) { return kOwnerAdministrators; }

std::vector<std::string> MovedAside(const std::string& name) {
    std::vector<std::string> aside;
    for (const std::string& entry : ListDir("C:\\tmp"))
        if (entry.rfind(name + ".untrusted", 0) == 0) aside.push_back(entry);
    return aside;
}

class WorkDirTrustTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSharedState();
        RemoveTree(W);
        g_secured.clear();
        g_applyProtectedSecurity = RecordSecured;
    }
    void TearDown() override {
        g_getOwnerKind = GetOwnerKind;
        g_applyProtectedSecurity = ApplyProtectedSecurity;
        RemoveTree(W);
    }
};

TEST_F(WorkDirTrustTest, AKeptWorkDirGetsTheProtectedDescriptorOnItsWholeRemainingTree) {
    g_getOwnerKind = AdministratorsOwn; // an earlier setup made it
    MakeDirs(W + "\\Qt\\plugins");
    MakeDirs(W + "\\Data");
    WriteFileBytes(W + "\\7za.exe", "swapped");
    WriteFileBytes(W + "\\Qt\\plugins\\p.dll", "p");
    char path[MAX_PATH];
    ASSERT_EQ(CreateWorkDir(path, sizeof path, "KivraSetup", 0, 1), 1);
    EXPECT_FALSE(Exists(W + "\\7za.exe"));
    EXPECT_EQ(ReadFileBytes(W + "\\Qt\\plugins\\p.dll"), "p") << "kept, not made afresh";
    ASSERT_FALSE(g_secured.empty());
    EXPECT_EQ(g_secured[0], W) << "the directory first: nobody adds to it from then on";
    std::sort(g_secured.begin(), g_secured.end());
    EXPECT_EQ(g_secured, (std::vector<std::string>{W, W + "\\Data", W + "\\Qt", W + "\\Qt\\plugins",
                                                   W + "\\Qt\\plugins\\p.dll"}));
}

// make-links.sh put C:\tmp\LinkReuse0\Qt\keep.dll -> C:\linktest\target\keep.txt.
// Wine cannot remove that link without deleting its target, so the tree that
// was renamed aside stays behind; the link is never secured, deleted or
// followed.
TEST_F(WorkDirTrustTest, AWorkDirWithALinkInItsTreeIsRenamedAsideBeforeItIsRemoved) {
    g_getOwnerKind = AdministratorsOwn;
    MakeDirs("C:\\tmp\\LinkReuse0.untrusted1\\old"); // left by an earlier run
    char path[MAX_PATH];
    ASSERT_EQ(CreateWorkDir(path, sizeof path, "LinkReuse", 0, 1), 1);
    EXPECT_TRUE(ListDir(path).empty()) << "made afresh";
    for (const std::string& secured : g_secured) EXPECT_EQ(secured.find("keep.dll"), std::string::npos);
    std::vector<std::string> aside = MovedAside("LinkReuse0");
    ASSERT_EQ(aside.size(), 1u) << "the earlier run's leftover is gone";
    EXPECT_NE(GetFileAttributesA(("C:\\tmp\\" + aside[0] + "\\Qt\\keep.dll").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileBytes("C:\\linktest\\target\\keep.txt"), "keep\n");
    RemoveTree(path);
}

TEST_F(WorkDirTrustTest, ADirectoryAUserMadeFirstIsReplacedWhole) {
    MakeDirs(W + "\\planted");
    WriteFileBytes(W + "\\planted\\version.dll", "planted");
    WriteFileBytes(W + "\\KivraSetup.exe", "planted");
    // Wine reports the owner as this process's user: not Administrators.
    char path[MAX_PATH];
    ASSERT_EQ(CreateWorkDir(path, sizeof path, "KivraSetup", 0, 1), 1);
    EXPECT_EQ(std::string(path), W);
    EXPECT_TRUE(DirExists(path));
    EXPECT_FALSE(Exists(W + "\\planted")) << "its sub-directories go too";
    EXPECT_FALSE(Exists(W + "\\KivraSetup.exe"));
}

// Where the platform can remove the link (Windows removes a junction or a
// directory link as itself), a real directory takes its place. Wine 8 can
// neither remove nor rename a directory link without touching its target, so
// there the work directory cannot be made trustworthy and the call fails.
// Either way nothing is deleted through the link.
TEST_F(WorkDirTrustTest, ALinkInPlaceOfTheWorkDirIsNeverFollowed) {
    // make-links.sh put C:\tmp\LinkPlace0 -> C:\linktest\wtarget.
    const std::string link = "C:\\tmp\\LinkPlace0";
    ASSERT_TRUE(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT);
    g_getOwnerKind = [](HANDLE) { return kOwnerAdministrators; }; // even so
    char path[MAX_PATH] = {0};
    if (CreateWorkDir(path, sizeof path, "LinkPlace", 0, 1)) {
        DWORD attributes = GetFileAttributesA(link.c_str());
        EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
        EXPECT_FALSE(attributes & FILE_ATTRIBUTE_REPARSE_POINT) << "a real directory now";
    } else {
        EXPECT_STREQ(path, "") << "no path handed out";
    }
    EXPECT_EQ(ReadFileBytes("C:\\linktest\\wtarget\\keep.txt"), "keep\n");
}

// Renaming or removing a directory opens it for deletion first; the held
// handle shares no deletion, so Windows refuses those opens while it is held.
// Wine does not apply sharing to directories, so here the test checks that
// the handle holds the work directory itself.
TEST_F(WorkDirTrustTest, TheHeldHandleIsTheWorkDirItself) {
    char path[MAX_PATH];
    HeldWorkDir held;
    ASSERT_EQ(CreateWorkDir(path, sizeof path, "KivraSetup", 0, 1, &held), 1);
    ScopedHandle& hold = held.dir;
    ASSERT_TRUE(hold.Valid());
    ASSERT_TRUE(held.tmp.Valid()) << "\\tmp is held as well";
    ScopedHandle fresh(CreateFileA(W.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION a, b;
    ASSERT_TRUE(GetFileInformationByHandle(hold.Get(), &a));
    ASSERT_TRUE(GetFileInformationByHandle(fresh.Get(), &b));
    EXPECT_EQ(a.nFileIndexLow, b.nFileIndexLow);
    EXPECT_EQ(a.nFileIndexHigh, b.nFileIndexHigh);
    EXPECT_TRUE(a.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace
