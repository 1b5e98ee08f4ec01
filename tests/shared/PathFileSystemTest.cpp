#include <gtest/gtest.h>

#include "base/PathFileSystem.h"
#include "tests/support/TestEnvironment.h"

TEST(PathFileSystem, ExistsAndIsDirectory) {
    ScratchFolder scratch;
    const std::wstring file = scratch / L"file.txt";
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    EXPECT_TRUE(PathExists(scratch.Path()));
    EXPECT_TRUE(IsDirectory(scratch.Path()));
    EXPECT_TRUE(PathExists(file));
    EXPECT_FALSE(IsDirectory(file));
    EXPECT_FALSE(PathExists(scratch / L"missing"));
    EXPECT_FALSE(IsDirectory(scratch / L"missing"));
}

TEST(PathFileSystem, CreateDirectoryChain) {
    ScratchFolder scratch;
    // Several missing levels, with mixed and trailing separators.
    const std::wstring deep = scratch.Path() + L"\\a/b\\c\\";
    EXPECT_TRUE(CreateDirectoryChain(deep));
    EXPECT_TRUE(FolderExists(scratch / L"a\\b\\c"));
    // An existing folder is fine, nothing else is created.
    EXPECT_TRUE(CreateDirectoryChain(scratch / L"a\\b"));
    EXPECT_TRUE(CreateDirectoryChain(L"C:\\"));

    // A file where the folder or one of its parents should be.
    ASSERT_TRUE(WriteFileBytes(scratch / L"file", "x"));
    EXPECT_FALSE(CreateDirectoryChain(scratch / L"file"));
    EXPECT_FALSE(CreateDirectoryChain(scratch / L"file\\sub\\leaf"));
    EXPECT_FALSE(FolderExists(scratch / L"file\\sub"));
}

TEST(PathFileSystem, CreateDirectoryChainStopsAtAMissingDrive) {
    // The test prefixes map only C: and Z:.
    ASSERT_EQ(0u, GetLogicalDrives() & (1u << (L'Q' - L'A')));
    EXPECT_FALSE(CreateDirectoryChain(L"Q:\\rvtest\\sub"));
    EXPECT_FALSE(CreateDirectoryChain(L"Q:\\"));
    EXPECT_FALSE(CreateDirectoryChain(L"\\\\"));
}
