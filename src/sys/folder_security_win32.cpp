#include "sys/folder_security_win32.h"

// aclapi.h needs windows.h first (its types); SetSecurityInfo lives there.
#include <aclapi.h>

#include "sys/win32_handles.h"

namespace zel {
namespace {

// A well-known SID of the NT authority (CreateWellKnownSid came after
// Windows 2000, which the headers are held to).
std::vector<BYTE> AuthoritySid(BYTE count, DWORD first, DWORD second) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    std::vector<BYTE> sid(GetSidLengthRequired(count));
    if (!InitializeSid(sid.data(), &nt, count)) return {};
    *GetSidSubAuthority(sid.data(), 0) = first;
    if (count > 1) *GetSidSubAuthority(sid.data(), 1) = second;
    return sid;
}

// The user of the process's own token: with elevation the same user as
// without it.
std::vector<BYTE> TokenUser() {
    ScopedKernelHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return {};
    DWORD size = 0;
    GetTokenInformation(token.Get(), ::TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    if (size == 0 || !GetTokenInformation(token.Get(), ::TokenUser, buffer.data(), size, &size))
        return {};
    const PSID sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
    std::vector<BYTE> copy(GetLengthSid(sid));
    if (!CopySid(DWORD(copy.size()), copy.data(), sid)) return {};
    return copy;
}

constexpr DWORD kPassedOn = OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;

}  // namespace

ProtectedFolderDescriptor::ProtectedFolderDescriptor() {
    valid_ = Build();
}

bool ProtectedFolderDescriptor::Build() {
    administrators_ = AuthoritySid(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS);
    system_ = AuthoritySid(1, SECURITY_LOCAL_SYSTEM_RID, 0);
    user_ = TokenUser();
    if (administrators_.empty() || system_.empty() || user_.empty()) return false;

    const DWORD aceBase = sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD);
    dacl_.resize(sizeof(ACL) + 3 * aceBase + GetLengthSid(administrators_.data()) +
                 GetLengthSid(system_.data()) + GetLengthSid(user_.data()));
    const PACL acl = Dacl();
    return InitializeAcl(acl, DWORD(dacl_.size()), ACL_REVISION) &&
           AddAccessAllowedAceEx(acl, ACL_REVISION, kPassedOn, FILE_ALL_ACCESS,
                                 administrators_.data()) &&
           AddAccessAllowedAceEx(acl, ACL_REVISION, kPassedOn, FILE_ALL_ACCESS, system_.data()) &&
           AddAccessAllowedAceEx(acl, ACL_REVISION, kPassedOn,
                                 FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, user_.data()) &&
           InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorOwner(&descriptor_, administrators_.data(), FALSE) &&
           SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
           SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

bool ProtectedFolderDescriptor::ApplyTo(HANDLE folder) {
    return valid_ && SetSecurityInfo(folder, SE_FILE_OBJECT,
                                     OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION |
                                         PROTECTED_DACL_SECURITY_INFORMATION,
                                     Owner(), nullptr, Dacl(), nullptr) == ERROR_SUCCESS;
}

}  // namespace zel
