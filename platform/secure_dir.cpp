#include "platform/secure_dir.h"

#include <aclapi.h>
#include <sddl.h>

#include "platform/handle.h"

DirectoryOwner (*g_getDirectoryOwner)(HANDLE dir) = GetDirectoryOwner;
int (*g_applyProtectedSecurity)(HANDLE object, const char* path) = ApplyProtectedSecurity;

PSECURITY_DESCRIPTOR NewProtectedDirectorySecurity() {
    // O:BA  owner Administrators
    // D:P   protected: nothing inherited from the parent
    //       Administrators and SYSTEM full control, Users read and execute
    //       (0x1200a9), each inherited by files and sub-directories.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(
            "O:BAD:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)", SDDL_REVISION_1,
            &descriptor, nullptr))
        return nullptr;
    return descriptor;
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

namespace {

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type) {
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

bool IsTokenUser(PSID sid) {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof buffer, &size)) return false;
    return EqualSid(sid, ((TOKEN_USER*)buffer)->User.Sid) != 0;
}

} // namespace

DirectoryOwner GetDirectoryOwner(HANDLE dir) {
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(dir, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                        nullptr, &descriptor) != ERROR_SUCCESS)
        return kOwnerOther;
    DirectoryOwner kind = kOwnerOther;
    if (owner && (IsWellKnown(owner, WinBuiltinAdministratorsSid) || IsWellKnown(owner, WinLocalSystemSid)))
        kind = kOwnerAdministrators;
    else if (owner && IsTokenUser(owner))
        kind = kOwnerThisUser;
    LocalFree(descriptor);
    return kind;
}
