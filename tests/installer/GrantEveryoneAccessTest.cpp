#include <gtest/gtest.h>
#include <aclapi.h>

#include "base/ProcessUtil.h"
#include "base/SecurityUtil.h"
#include "tests/installer/WorldAccess.h"
#include "tests/support/TestEnvironment.h"

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

    // Nothing is set on a missing object, and that is no success.
    EXPECT_FALSE(GrantEveryoneAccess(Narrow(scratch / L"missing")));
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
