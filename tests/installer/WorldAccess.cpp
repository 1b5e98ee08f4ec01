#include "tests/installer/WorldAccess.h"

#include <gtest/gtest.h>
#include <aclapi.h>

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
