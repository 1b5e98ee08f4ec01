#include <gtest/gtest.h>

#include "base/PathString.h"

TEST(PathString, SeparatorsAndDriveIndex) {
    EXPECT_TRUE(IsPathSeparator(L'\\'));
    EXPECT_TRUE(IsPathSeparator(L'/'));
    EXPECT_FALSE(IsPathSeparator(L':'));
    EXPECT_EQ(1, DriveRootIndex(L"C:"));
    EXPECT_EQ(1, DriveRootIndex(L"z:\\x"));
    EXPECT_EQ(-1, DriveRootIndex(L"C"));
    EXPECT_EQ(-1, DriveRootIndex(L"1:\\"));
    EXPECT_EQ(-1, DriveRootIndex(L"\\\\server"));
    EXPECT_EQ(-1, DriveRootIndex(L"\x00c4:\\"));  // not an ASCII letter
}

TEST(PathString, StripTrailingSeparatorsKeepsRoots) {
    EXPECT_EQ(L"C:\\dir", StripTrailingSeparators(L"C:\\dir\\/\\"));
    EXPECT_EQ(L"name", StripTrailingSeparators(L"name\\\\"));
    EXPECT_EQ(L"a", StripTrailingSeparators(L"a//"));
    EXPECT_EQ(L"C:\\", StripTrailingSeparators(L"C:\\"));
    EXPECT_EQ(L"\\", StripTrailingSeparators(L"\\"));
    EXPECT_EQ(L"C:", StripTrailingSeparators(L"C:"));
    EXPECT_EQ(L"", StripTrailingSeparators(L""));
    // A doubled root separator stays; a longer run shrinks to one.
    EXPECT_EQ(L"\\\\", StripTrailingSeparators(L"\\\\"));
    EXPECT_EQ(L"C:\\\\", StripTrailingSeparators(L"C:\\\\"));
    EXPECT_EQ(L"\\", StripTrailingSeparators(L"\\\\\\"));
    EXPECT_EQ(L"C:\\", StripTrailingSeparators(L"C:\\\\\\\\"));
    EXPECT_EQ(L"\\\\server", StripTrailingSeparators(L"\\\\server\\"));
}

TEST(PathString, JoinPath) {
    EXPECT_EQ(L"name", JoinPath(L".", L"name"));
    EXPECT_EQ(L"C:name", JoinPath(L"C:", L"name"));
    EXPECT_EQ(L"C:\\name", JoinPath(L"C:\\", L"name"));
    EXPECT_EQ(L"C:\\dir\\name", JoinPath(L"C:\\dir", L"name"));
    EXPECT_EQ(L"C:\\dir\\name", JoinPath(L"C:\\dir\\\\", L"name"));
    EXPECT_EQ(L"C:/dir\\name", JoinPath(L"C:/dir/", L"name"));
    EXPECT_EQ(L"C:\\dir", JoinPath(L"C:\\dir\\", L""));
    EXPECT_EQ(L"\\\\server", JoinPath(L"\\\\", L"server"));
    EXPECT_EQ(L"name", JoinPath(L"", L"name"));
    // The tail is appended as it is, leading separators included.
    EXPECT_EQ(L"C:\\dir\\\\name", JoinPath(L"C:\\dir", L"\\name"));
    EXPECT_EQ(L"a\\b\\c", JoinPath(L"a", L"b\\c"));
}

TEST(PathString, ParentPath) {
    EXPECT_EQ(L"C:\\dir", ParentPath(L"C:\\dir\\file.txt"));
    EXPECT_EQ(L"C:\\dir", ParentPath(L"C:\\dir\\sub\\\\"));
    EXPECT_EQ(L"C:\\", ParentPath(L"C:\\dir"));
    EXPECT_EQ(L"C:\\", ParentPath(L"C:\\"));
    EXPECT_EQ(L"C:", ParentPath(L"C:name"));
    EXPECT_EQ(L"C:", ParentPath(L"C:"));
    EXPECT_EQ(L".", ParentPath(L"name"));
    EXPECT_EQ(L".", ParentPath(L""));
    EXPECT_EQ(L"a/b", ParentPath(L"a/b/c"));
    EXPECT_EQ(L"\\", ParentPath(L"\\dir"));
    EXPECT_EQ(L"\\", ParentPath(L"\\"));
    // Network paths: the server's parent is the doubled root, which is its
    // own parent.
    EXPECT_EQ(L"\\\\server", ParentPath(L"\\\\server\\share"));
    EXPECT_EQ(L"\\\\", ParentPath(L"\\\\server"));
    EXPECT_EQ(L"\\\\", ParentPath(L"\\\\"));
    EXPECT_EQ(L"C:\\\\", ParentPath(L"C:\\\\dir"));
}

TEST(PathString, PathEqualsIgnoresOnlyDriveLetterCase) {
    EXPECT_TRUE(PathEquals(L"c:\\Dir\\File", L"C:\\Dir\\File"));
    EXPECT_FALSE(PathEquals(L"C:\\Dir\\File", L"C:\\dir\\File"));
    EXPECT_FALSE(PathEquals(L"C:\\Dir", L"D:\\Dir"));
    EXPECT_FALSE(PathEquals(L"C:\\Dir", L"C:\\Dir\\"));
    EXPECT_TRUE(PathEquals(L"\\\\srv\\x", L"\\\\srv\\x"));
    EXPECT_FALSE(PathEquals(L"\\\\srv\\x", L"\\\\SRV\\x"));
    EXPECT_FALSE(PathEquals(L"c:", L"C"));
    EXPECT_TRUE(PathEquals(L"c:", L"C:"));
}

TEST(PathString, LastPathComponent) {
    EXPECT_EQ(L"file.txt", LastPathComponent(L"C:\\dir\\file.txt"));
    EXPECT_EQ(L"dir", LastPathComponent(L"C:\\dir\\\\"));
    EXPECT_EQ(L"name", LastPathComponent(L"C:name"));
    EXPECT_EQ(L"name", LastPathComponent(L"name"));
    EXPECT_EQ(L"c", LastPathComponent(L"a/b/c"));
    EXPECT_EQ(L"", LastPathComponent(L"C:\\"));
    EXPECT_EQ(L"server", LastPathComponent(L"\\\\server"));
}
