#include <gtest/gtest.h>
#include <windows.h>

#include "sys/registry.h"
#include "sys/registry_markers.h"
#include "sys/win32_handles.h"

namespace zel {
namespace {

ScopedRegistryKey OpenProgramKey(REGSAM access) {
    HKEY key = nullptr;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProgramKeyPath, 0, access, &key);
    return ScopedRegistryKey(key);
}

// The value as the Wine prefix's registry holds it, read with the system's
// own calls; "(missing)" when it is not there.
std::string ReadMarker(const char* name) {
    const ScopedRegistryKey key = OpenProgramKey(KEY_READ);
    char data[256] = {};
    DWORD size = sizeof(data);
    DWORD type = 0;
    if (!key || RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(data),
                                 &size) != ERROR_SUCCESS) {
        return "(missing)";
    }
    // The stored length counts the terminating zero.
    if (type != REG_SZ || size == 0 || data[size - 1] != '\0') return "(not a terminated REG_SZ)";
    return std::string(data, size - 1);
}

void SetMarker(const char* name, const std::string& text) {
    const ScopedRegistryKey key = OpenProgramKey(KEY_WRITE);
    ASSERT_TRUE(key);
    ASSERT_EQ(RegSetValueExA(key.Get(), name, 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1)),
              ERROR_SUCCESS);
}

// Grants everyone only reading (or, to undo it, everything) on the key.
void SetKeyAccess(DWORD allowed) {
    const ScopedRegistryKey key = OpenProgramKey(WRITE_DAC);
    ASSERT_TRUE(key);
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    ASSERT_TRUE(
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    alignas(DWORD) char aclBuffer[256];
    auto* acl = reinterpret_cast<PACL>(aclBuffer);
    InitializeAcl(acl, sizeof(aclBuffer), ACL_REVISION);
    AddAccessAllowedAce(acl, ACL_REVISION, allowed, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    EXPECT_EQ(RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
    FreeSid(everyone);
}

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int ThreadWindowCount() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

class RegistryMarkersTest : public ::testing::Test {
  protected:
    void SetUp() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgramKeyPath); }
    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kProgramKeyPath); }
};

TEST_F(RegistryMarkersTest, FirstRunCreatesTheKeyAndLaterRunsRewriteBothValues) {
    ASSERT_EQ(ReadMarker("ZELBUILDFOR"), "(missing)");
    EXPECT_TRUE(WriteRegistryMarkers());
    EXPECT_EQ(ReadMarker("ZELBUILDFOR"), "QUORVANE");
    EXPECT_EQ(ReadMarker("ZEL3CAM"), "QUORVANE");

    SetMarker("ZELBUILDFOR", "someone else");
    SetMarker("ZEL3CAM", "an old campaign");
    EXPECT_TRUE(WriteRegistryMarkers());
    EXPECT_EQ(ReadMarker("ZELBUILDFOR"), "QUORVANE");
    EXPECT_EQ(ReadMarker("ZEL3CAM"), "QUORVANE");
}

TEST_F(RegistryMarkersTest, BuildForIsTrimmedOrQuorvaneAndAnEmptyCampaignIsLeftAlone) {
    EXPECT_TRUE(WriteRegistryMarkers({" \t ACME \r\n", " spring "}));
    EXPECT_EQ(ReadMarker("ZELBUILDFOR"), "ACME");
    EXPECT_EQ(ReadMarker("ZEL3CAM"), " spring ");

    EXPECT_TRUE(WriteRegistryMarkers({" \t ", ""}));
    EXPECT_EQ(ReadMarker("ZELBUILDFOR"), "Quorvane");
    EXPECT_EQ(ReadMarker("ZEL3CAM"), " spring ");
    EXPECT_TRUE(WriteRegistryMarkers({"", ""}));
    EXPECT_EQ(ReadMarker("ZELBUILDFOR"), "Quorvane");
}

TEST_F(RegistryMarkersTest, AnUnwritableKeyGetsNothingAndNothingIsShown) {
    CRegistry create;
    ASSERT_TRUE(create.OpenOrCreate());
    create.Close();
    SetKeyAccess(KEY_READ);
    const int windowsBefore = ThreadWindowCount();

    EXPECT_FALSE(WriteRegistryMarkers());
    EXPECT_EQ(ReadMarker("ZELBUILDFOR"), "(missing)");
    EXPECT_EQ(ReadMarker("ZEL3CAM"), "(missing)");
    EXPECT_EQ(ThreadWindowCount(), windowsBefore);
    CRegistry readOnly(KEY_READ);
    EXPECT_TRUE(readOnly.OpenOrCreate());
    EXPECT_FALSE(readOnly.WriteString("ZEL3CAM", "x"));

    SetKeyAccess(KEY_ALL_ACCESS);
}

}  // namespace
}  // namespace zel
