#include <gtest/gtest.h>
#include <aclapi.h>

#include "base/ProcessUtil.h"
#include "base/SecurityUtil.h"
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

// Full access as far as the system can store it. Windows keeps the entry
// as written (0x1F01FF); Wine keeps access lists as Unix permission bits
// and reads the entry back without WRITE_DAC and WRITE_OWNER (0x1301FF).
// Either way it holds read, write, execute and delete, which a fresh
// object's world entry on Wine (0x1200A9, read and execute) does not.
constexpr ACCESS_MASK kStoredFullAccess = 0x1301FF;

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

}  // namespace

TEST(GrantEveryoneAccess, AddsInheritableFullAccessForTheWorld) {
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"granted";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_FALSE(GrantsWorldFullAccess(folder));
    EXPECT_TRUE(GrantEveryoneAccess(Narrow(folder)));
    ExpectInheritableFullAccess(folder);

    // Where the trustee name does not resolve (the name of the world group
    // is language-dependent), the entry is made for the world SID itself.
    const std::wstring other = scratch / L"by-sid";
    ASSERT_TRUE(CreateDirectoryW(other.c_str(), nullptr));
    ASSERT_FALSE(GrantsWorldFullAccess(other));
    EXPECT_TRUE(GrantWorldAccess(Narrow(other), "RvNoSuchTrustee"));
    ExpectInheritableFullAccess(other);

    // Nothing to change on a missing object: still true.
    EXPECT_TRUE(GrantEveryoneAccess(Narrow(scratch / L"missing")));
}

TEST(GrantEveryoneAccess, RefusesPathsLongerThan259Characters) {
    // A file whose path has exactly 259 characters, and the same path with
    // one character more: cutting the longer one would change the file.
    ScratchFolder scratch;
    const std::wstring folder = scratch.Path() + L"\\" + std::wstring(150, L'f');
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    std::wstring file = folder + L"\\";
    file.append(259 - file.size(), L'x');
    ASSERT_TRUE(WriteFileBytes(file, "data"));
    ASSERT_FALSE(GrantsWorldFullAccess(file));

    EXPECT_FALSE(GrantEveryoneAccess(Narrow(file + L"y")));
    EXPECT_FALSE(GrantsWorldFullAccess(file));
    EXPECT_TRUE(GrantEveryoneAccess(Narrow(file)));
    EXPECT_TRUE(GrantsWorldFullAccess(file));
}
