#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(PathString, AbsoluteRootLength) {
    const struct {
        const wchar_t* path;
        size_t root;
    } cases[] = {
        {L"C:\\", 3},
        {L"c:/dir", 3},
        {L"\\\\server\\share", 14},
        {L"//server/share/dir", 14},
        {L"\\\\?\\C:\\dir", 7},
        {L"\\\\.\\C:\\", 7},
        {L"\\\\?\\UNC\\server\\share\\dir", 20},
        {L"C:", 0},
        {L"C:dir", 0},
        {L"\\dir", 0},
        {L"dir\\sub", 0},
        {L"", 0},
        {L"\\\\server", 0},
        {L"\\\\server\\", 0},
        {L"\\\\\\share\\dir", 0},
        {L"\\\\..\\share\\dir", 0},
        {L"\\\\?\\C:", 0},
        {L"\\\\?\\Volume{00000000-0000-0000-0000-000000000000}\\dir", 0},
        {L"\\\\.\\PhysicalDrive0", 0},
        {L"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\dir", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.root, AbsoluteRootLength(c.path)) << c.path;
}

TEST(PathString, IsDeletablePathText) {
    for (const wchar_t* path :
         {L"C:\\dir", L"C:\\dir\\", L"c:/dir/sub//", L"C:\\\\dir", L"C:\\dir\\.hidden",
          L"C:\\dir\\a..b", L"C:\\dir\\name.", L"\\\\server\\share\\dir", L"\\\\?\\C:\\dir",
          L"\\\\?\\UNC\\server\\share\\dir"})
        EXPECT_TRUE(IsDeletablePathText(path)) << path;

    const std::vector<std::wstring> notAbsolute = {L"", L"dir", L"dir\\sub", L"C:dir", L"\\dir"};
    const std::vector<std::wstring> roots = {
        L"C:\\",        L"C:\\\\",    L"c:/", L"\\\\server", L"\\\\server\\share\\",
        L"\\\\?\\C:\\", L"\\\\.\\CON"};
    const std::vector<std::wstring> dotParts = {
        L"C:\\d\\..", L"C:\\d\\..\\",   L"C:\\victim\\sub\\..",
        L"C:\\.",     L"C:\\d\\.\\e",   L"C:\\...",
        L"C:\\d\\. ", L"C:\\d\\.. \\e", L"\\\\server\\share\\.."};
    const std::vector<std::wstring> oddCharacters = {
        L"C:\\*",       L"C:\\d\\*.*", L"C:\\d?",      L"C:\\d\\<",
        L"C:\\d\\a\"b", L"C:\\d|e",    L"C:\\d\\a\tb", L"C:\\d\\file:stream"};
    for (const auto& group : {notAbsolute, roots, dotParts, oddCharacters})
        for (const std::wstring& path : group)
            EXPECT_FALSE(IsDeletablePathText(path)) << path;
    // The system stops at a NUL: it would see "C:\".
    EXPECT_FALSE(IsDeletablePathText(std::wstring(L"C:\\\0dir", 7)));
}
