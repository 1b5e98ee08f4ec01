#include "tests/installer/WorldAccess.h"

#include <gtest/gtest.h>
#include <aclapi.h>
#include <sddl.h>

#include "tests/support/TestEnvironment.h"

namespace {

struct WorldAce {
    bool found = false;
    ACCESS_MASK mask = 0;
    BYTE flags = 0;
};

// The access-allowed entry for the world SID (S-1-1-0) in the object's
// access list, read back from the system.
WorldAce FindWorldAce(const std::wstring& path) {
    WorldAce result;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return result;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_WORLD_SID_AUTHORITY;
    PSID world = nullptr;
    AllocateAndInitializeSid(&authority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &world);
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
            ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE || !EqualSid(&ace->SidStart, world))
            continue;
        result.found = true;
        result.mask = ace->Mask;
        result.flags = ace->Header.AceFlags;
    }
    FreeSid(world);
    LocalFree(descriptor);
    return result;
}

}  // namespace

bool GrantsWorldFullAccess(const std::wstring& path) {
    const WorldAce ace = FindWorldAce(path);
    return ace.found && (ace.mask & kStoredFullAccess) == kStoredFullAccess;
}

void ExpectInheritableFullAccess(const std::wstring& path) {
    const WorldAce ace = FindWorldAce(path);
    ASSERT_TRUE(ace.found) << Narrow(path);
    EXPECT_EQ(kStoredFullAccess, ace.mask & kStoredFullAccess) << std::hex << ace.mask;
    EXPECT_EQ(OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
              ace.flags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE | INHERIT_ONLY_ACE));
}

std::wstring DescriptorSddl(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const SECURITY_INFORMATION parts = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, parts, nullptr, nullptr, nullptr,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return L"<unreadable>";
    LPWSTR text = nullptr;
    ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, parts, &text,
                                                         nullptr);
    const std::wstring sddl = text != nullptr ? text : L"<none>";
    LocalFree(text);
    LocalFree(descriptor);
    return sddl;
}

bool OthersMayChange(const std::wstring& path) {
    constexpr ACCESS_MASK kChanges = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                     FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER |
                                     GENERIC_WRITE | GENERIC_ALL;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return true;
    bool mayChange = dacl == nullptr;
    for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
            ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE ||
            (ace->Header.AceFlags & INHERIT_ONLY_ACE) != 0)
            continue;
        PSID sid = &ace->SidStart;
        if (IsWellKnownSid(sid, WinLocalSystemSid) ||
            IsWellKnownSid(sid, WinBuiltinAdministratorsSid) ||
            (owner != nullptr && EqualSid(sid, owner)))
            continue;
        mayChange = mayChange || (ace->Mask & kChanges) != 0;
    }
    LocalFree(descriptor);
    return mayChange;
}

void ExpectReadAndExecuteOnly(const std::wstring& path) {
    const WorldAce ace = FindWorldAce(path);
    EXPECT_TRUE(ace.found && (ace.mask & 0x1200A9) == 0x1200A9) << Narrow(DescriptorSddl(path));
    EXPECT_FALSE(OthersMayChange(path)) << Narrow(path) << " " << Narrow(DescriptorSddl(path));
}

void ExpectInstallRights(const std::wstring& folder,
                         const std::wstring& shellName,
                         const std::wstring& coreName) {
    for (const std::wstring& placed : {folder, folder + L"\\" + shellName,
                                       folder + L"\\" + coreName, folder + L"\\RvDumpReport.exe"})
        ExpectReadAndExecuteOnly(placed);
    ExpectInheritableFullAccess(folder + L"\\Conf");
    ExpectInheritableFullAccess(folder + L"\\Task");
}
