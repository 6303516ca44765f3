// The security decisions of the elevated setup, fed the facts that a real
// 64-bit Windows reports (Wine reports other ones: every object its user's,
// DACLs made from Unix modes). The attacker is any ordinary process, the
// unelevated half of the same administrator's session included: what it makes
// is owned by the user's own SID, in folders whose DACLs let that user write.
#include <gtest/gtest.h>
#include <windows.h>
#include <sddl.h>

#include "platform/handle.h"
#include "platform/secure_dir.h"
#include "platform/work_dir_trust.h"
#include "setup/package_copy.h"
#include "setup/package_source.h"

namespace {

// The DACL of an SDDL text, as Windows would hand it out.
struct Dacl {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL acl = nullptr;
    explicit Dacl(const char* sddl) {
        BOOL present = FALSE, defaulted = FALSE;
        EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
            << sddl;
        if (descriptor) GetSecurityDescriptorDacl(descriptor, &present, &acl, &defaulted);
    }
    ~Dacl() { LocalFree(descriptor); }
};

const char kUser[] = "S-1-5-21-1004336348-1177238915-682003330-1001";

TEST(TrustDecisions, WhoMayChangeAnObjectIsReadFromItsDacl) {
    const std::string user = kUser;
    struct Case {
        std::string sddl;
        int others;
        const char* what;
    } cases[] = {
        {"D:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;0x1200a9;;;BU)", 0, "the copy this setup makes"},
        {"D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)", 0, "the protected work directory"},
        {"D:(A;ID;FA;;;SY)(A;ID;FA;;;BA)(A;ID;FA;;;" + user + ")", 1, "a file in the user's Downloads"},
        {"D:(A;ID;FA;;;BA)(A;ID;FA;;;SY)(A;ID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)", 1,
         "a folder made at C:\\ (Authenticated Users may modify)"},
        {"D:P(A;;FA;;;BA)(A;;0x120089;;;BU)(A;;0x4;;;BU)", 1, "Users may append"},
        {"D:P(A;;FA;;;BA)(A;;0x100;;;BU)", 1, "Users may change attributes"},
        {"D:P(A;;FA;;;BA)(A;;0x40000;;;WD)", 1, "Everyone may change the DACL"},
        {"D:P(A;;FA;;;BA)(A;;GW;;;WD)", 1, "Everyone, generic write"},
        {"D:P(D;;FA;;;BU)(A;;FA;;;BU)(A;;FA;;;BA)", 1, "a denial is no comfort"},
        {"D:P(D;;WD;;;WD)(A;;FA;;;BA)(A;;0x1200a9;;;WD)", 0, "a denial alone opens nothing"},
        {"D:P(A;;FA;;;BA)(A;OICIIO;FA;;;CO)", 0, "inherit-only: guards only what is made below"},
        {"D:P(A;;FA;;;BA)(A;;FA;;;CO)", 1, "CREATOR OWNER on the object itself"},
        {"D:P(A;;FA;;;BA)(A;;WD;;;S-1-3-4)", 1, "OWNER RIGHTS may change the DACL"},
        {"D:P(A;;FA;;;BA)(A;;0x1301bf;;;BU)", 1, "a folder whose DACL grants Users modify"},
        // What an elevated program gets at the drive's root (C:\KivraLog is
        // such a folder): the root's inheritable "modify" for Authenticated
        // Users arrives split into a specific entry and an inherit-only one.
        {"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"
         "(A;OICIIOID;SDGXGWGR;;;AU)",
         1, "C:\\KivraLog"},
    };
    for (const Case& c : cases) {
        Dacl dacl(c.sddl.c_str());
        EXPECT_EQ(DaclLetsOthersChange(dacl.acl), c.others) << c.what << ": " << c.sddl;
    }
    EXPECT_EQ(DaclLetsOthersChange(nullptr), 1) << "no DACL at all: everyone may do anything";
}

TEST(TrustDecisions, OnlyAdministratorsAndSystemOwnWhatMayBeTrusted) {
    // The elevated setup's own token user is the SID the unelevated half owns
    // its objects with: no exception for it.
    ScopedHandle token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive()));
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    ASSERT_TRUE(GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size));
    EXPECT_EQ(OwnerKindOf(((TOKEN_USER*)buffer)->User.Sid), kOwnerOther) << "this process's own user";

    for (const char* sid : {"BA", "SY", "BU", "AU", "WD", kUser}) {
        PSID owner = nullptr;
        ASSERT_TRUE(ConvertStringSidToSidA(sid, &owner));
        bool trusted = std::string(sid) == "BA" || std::string(sid) == "SY";
        EXPECT_EQ(OwnerKindOf(owner), trusted ? kOwnerAdministrators : kOwnerOther) << sid;
        LocalFree(owner);
    }
    EXPECT_EQ(OwnerKindOf(nullptr), kOwnerOther);
}

// Owner and DACL as a real Windows reports them for each kind of object.
const OwnerKind kAdmins = kOwnerAdministrators;
const OwnerKind kUsers = kOwnerOther;

TEST(TrustDecisions, APackageCopyOrLocalSourceIsUsedOnlyWhenNoUserCouldHaveMadeOrChangedIt) {
    struct Case {
        TrustFacts facts;
        int trusted;
        const char* what;
    } cases[] = {
        {{kObjectFile, kAdmins, 0}, 1, "the copy an earlier setup made; a package in an administrators' folder"},
        {{kObjectFile, kUsers, 0}, 0, "planted by the user, DACL tightened by them"},
        {{kObjectFile, kUsers, 1}, 0, "planted by the user in Downloads; the package the administrator downloaded"},
        {{kObjectFile, kAdmins, 1}, 0, "made elevated but left writable (an older setup's copy)"},
        {{kObjectLink, kAdmins, 0}, 0, "a link to an administrator's file"},
        {{kObjectElsewhere, kAdmins, 0}, 0, "a second name of an administrator's file, or a path through a link"},
        {{kObjectDirectory, kAdmins, 0}, 0, "a directory"},
        {{kObjectUnavailable, kAdmins, 0}, 0, "held by someone else"},
    };
    for (const Case& c : cases) EXPECT_EQ(IsTrustedPackageCopy(c.facts), c.trusted) << c.what;
}

TEST(TrustDecisions, APackageSourceOnAShareIsToldFromOneOnThisMachine) {
    for (const char* share : {"\\\\server\\share\\KivraSetup.msi", "//server/share/KivraSetup.msi",
                              "\\\\?\\UNC\\server\\share\\KivraSetup.msi"})
        EXPECT_EQ(IsSharePath(share), 1) << share;
    for (const char* local : {"C:\\Users\\admin\\Downloads\\KivraSetup.msi", "\\\\?\\C:\\KivraSetup.msi",
                              "\\\\.\\C:\\KivraSetup.msi", "\\\\?\\UNCX\\a", "KivraSetup.msi", ""})
        EXPECT_EQ(IsSharePath(local), 0) << local;
}

TEST(TrustDecisions, TheWorkDirectoryAndItsTmp) {
    struct Case {
        TrustFacts facts;
        int useAsTmp;
        int keepAsWorkDir;
        const char* what;
    } cases[] = {
        {{kObjectDirectory, kAdmins, 0}, 1, 1, "the protected directory an earlier setup left"},
        {{kObjectDirectory, kAdmins, 1}, 1, 0, "made elevated at the root: Authenticated Users may modify it"},
        {{kObjectDirectory, kUsers, 1}, 1, 0, "a user's folder, the setup's own user included"},
        {{kObjectDirectory, kUsers, 0}, 1, 0, "a user's folder with the protected DACL: its owner may loosen it"},
        {{kObjectLink, kAdmins, 0}, 1, 0, "an administrator's link, closed to others"},
        {{kObjectLink, kAdmins, 1}, 0, 0, "an administrator's link left as made at the root: users may re-point it"},
        {{kObjectLink, kUsers, 0}, 0, 0, "a user's link"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MayUseTmp(c.facts), c.useAsTmp) << "as \\tmp: " << c.what;
        EXPECT_EQ(MayKeepWorkDir(c.facts), c.keepAsWorkDir) << "as the work directory: " << c.what;
    }
}

} // namespace
