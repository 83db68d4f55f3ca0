#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "sys/folder_security_win32.h"
#include "sys/install_folder.h"

namespace zel {
namespace {

// The shell's answer must be the same folder the system announces to every
// program as %APPDATA%: the user's roaming application data.
TEST(DataFolderWin32Test, IsTheRoamingApplicationDataFolder) {
    std::string path;
    ASSERT_TRUE(GetSpecialFolderPath(path));
    const char* appData = std::getenv("APPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_EQ(_stricmp(path.c_str(), appData), 0) << path << " vs " << appData;
    EXPECT_NE(path.back(), '\\');
}

TEST(DataFolderWin32Test, InstallFolderUsesBackslashesAndEndsWithOne) {
    std::string special;
    ASSERT_TRUE(GetSpecialFolderPath(special));
    std::string folder;
    ASSERT_TRUE(GetInstallFolder(folder, ""));
    EXPECT_EQ(folder, special + "\\Quorvane\\ZEL3\\Installer\\");
    EXPECT_EQ(folder.find('/'), std::string::npos);
}

bool IsAllowed(const ACCESS_ALLOWED_ACE* ace, PSID sid, ACCESS_MASK mask) {
    return ace->Header.AceType == ACCESS_ALLOWED_ACE_TYPE &&
           ace->Header.AceFlags == (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) &&
           ace->Mask == mask && EqualSid(PSID(&ace->SidStart), sid);
}

// What the program gives the folders it makes: read back from the built
// descriptor, since Wine does not keep a folder's DACL.
TEST(ProtectedFolderDescriptorTest, OwnedByAdministratorsProtectedWithThreeEntries) {
    ProtectedFolderDescriptor descriptor;
    ASSERT_TRUE(descriptor.IsValid());
    ASSERT_TRUE(IsValidSecurityDescriptor(descriptor.Get()));

    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    PSID system = nullptr;
    ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID,
                                         DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                         &administrators));
    ASSERT_TRUE(
        AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, &system));

    PSID owner = nullptr;
    BOOL defaulted = TRUE;
    ASSERT_TRUE(GetSecurityDescriptorOwner(descriptor.Get(), &owner, &defaulted));
    EXPECT_TRUE(owner && EqualSid(owner, administrators));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.Get(), &control, &revision));
    EXPECT_TRUE(control & SE_DACL_PROTECTED) << "nothing inherited from the profile";
    EXPECT_TRUE(control & SE_DACL_PRESENT);

    BOOL present = FALSE;
    PACL dacl = nullptr;
    ASSERT_TRUE(GetSecurityDescriptorDacl(descriptor.Get(), &present, &dacl, &defaulted));
    ASSERT_TRUE(present && dacl);
    ASSERT_EQ(dacl->AceCount, 3);
    void* aces[3] = {};
    for (DWORD i = 0; i < 3; ++i) ASSERT_TRUE(GetAce(dacl, i, &aces[i]));
    const auto ace = [&](int i) { return static_cast<const ACCESS_ALLOWED_ACE*>(aces[i]); };
    EXPECT_TRUE(IsAllowed(ace(0), administrators, FILE_ALL_ACCESS));
    EXPECT_TRUE(IsAllowed(ace(1), system, FILE_ALL_ACCESS));
    EXPECT_TRUE(IsAllowed(ace(2), descriptor.User(), FILE_GENERIC_READ | FILE_GENERIC_EXECUTE))
        << "the user may read and run, not write";
    FreeSid(administrators);
    FreeSid(system);
}

}  // namespace
}  // namespace zel
