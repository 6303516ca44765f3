#include "platform/secure_dir.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/handle.h"

OwnerKind (*g_getOwnerKind)(HANDLE object) = GetOwnerKind;
int (*g_applyProtectedSecurity)(HANDLE object, const char* path) = ApplyProtectedSecurity;
int (*g_othersMayChange)(HANDLE object) = OthersMayChange;

namespace {

PSECURITY_DESCRIPTOR FromSddl(const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    return descriptor;
}

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool IsAdministratorsOrSystem(PSID sid) {
    return IsWellKnown(sid, WinBuiltinAdministratorsSid) || IsWellKnown(sid, WinLocalSystemSid);
}

// Every right that changes a file or directory, its descriptor or its owner,
// in their specific and their generic forms.
const ACCESS_MASK kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                    FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE |
                                    GENERIC_ALL | MAXIMUM_ALLOWED;

} // namespace

PSECURITY_DESCRIPTOR NewProtectedDirectorySecurity() {
    // O:BA  owner Administrators
    // D:P   protected: nothing inherited from the parent
    //       Administrators and SYSTEM full control, Users read and execute
    //       (0x1200a9), each inherited by files and sub-directories.
    return FromSddl("O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)");
}

PSECURITY_DESCRIPTOR NewProtectedFileSecurity() {
    return FromSddl("O:BAD:P(A;;FA;;;BA)(A;;FA;;;SY)(A;;0x1200a9;;;BU)");
}

int CreateProtectedDirectory(const char* path) {
    PSECURITY_DESCRIPTOR descriptor = NewProtectedDirectorySecurity();
    if (!descriptor) return 0;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    BOOL created = CreateDirectoryA(path, &attributes);
    LocalFree(descriptor);
    return created ? 1 : 0;
}

int ApplyProtectedSecurity(HANDLE object, const char*) {
    PSECURITY_DESCRIPTOR descriptor = NewProtectedDirectorySecurity();
    if (!descriptor) return 0;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    int applied = GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) &&
                  GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) &&
                  SetSecurityInfo(object, SE_FILE_OBJECT,
                                  OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                      PROTECTED_DACL_SECURITY_INFORMATION,
                                  owner, nullptr, dacl, nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return applied;
}

OwnerKind GetOwnerKind(HANDLE object) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return kOwnerOther;
    OwnerKind kind = OwnerKindOf(owner);
    LocalFree(descriptor);
    return kind;
}

OwnerKind OwnerKindOf(PSID owner) {
    return owner && IsValidSid(owner) && IsAdministratorsOrSystem(owner) ? kOwnerAdministrators : kOwnerOther;
}

int DaclLetsOthersChange(const ACL* dacl) {
    if (!dacl) return 1;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce((PACL)dacl, i, (void**)&header)) return 1;
        if (header->AceFlags & INHERIT_ONLY_ACE) continue;
        // Denials are no comfort here (their order and the groups they name
        // decide), so only what is allowed is weighed; an allowing entry of a
        // kind not read here counts as letting anyone.
        if (header->AceType == ACCESS_DENIED_ACE_TYPE) continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE) return 1;
        const ACCESS_ALLOWED_ACE* ace = (const ACCESS_ALLOWED_ACE*)header;
        if ((ace->Mask & kChangingRights) && !IsAdministratorsOrSystem((PSID)&ace->SidStart)) return 1;
    }
    return 0;
}

int OthersMayChange(HANDLE object) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return 1;
    int others = DaclLetsOthersChange(dacl);
    LocalFree(descriptor);
    return others;
}
