// The plain-call tree copy of the carry-over on real folder trees: what it
// copies (contents, empty folders, attributes, times), what it leaves out
// (links), and what it refuses (a destination that exists, paths past
// MAX_PATH, a file it cannot read).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/tree/FolderCopy.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace {

// source\top.txt, source\empty\, source\a\b\deep.dat (hidden), source\a\ro.txt
// (read-only).
void MakeTree(const std::wstring& source) {
    for (const wchar_t* folder : {L"", L"\\empty", L"\\a", L"\\a\\b"})
        ASSERT_TRUE(CreateDirectoryW((source + folder).c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(source + L"\\top.txt", "top"));
    ASSERT_TRUE(WriteFileBytes(source + L"\\a\\b\\deep.dat", std::string(70000, 'd')));
    ASSERT_TRUE(SetFileAttributesW((source + L"\\a\\b\\deep.dat").c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(WriteFileBytes(source + L"\\a\\ro.txt", "read only"));
    ASSERT_TRUE(SetFileAttributesW((source + L"\\a\\ro.txt").c_str(), FILE_ATTRIBUTE_READONLY));
}

FILETIME LastWrite(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// The read-only file would stop the scratch folder's removal.
void ClearReadOnly(const std::wstring& path) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace

TEST(CopyFolderTree, CopiesEveryFileAndFolderWithAttributesAndTimes) {
    ScratchFolder scratch;
    const std::wstring source = scratch / L"source";
    MakeTree(source);
    const FILETIME written = {0x12345678, 0x01D00000};
    {
        HANDLE file = CreateFileW((source + L"\\top.txt").c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
        CloseHandle(file);
    }

    // A trailing separator on either side changes nothing.
    ASSERT_TRUE(CopyFolderTree(source + L"\\", scratch / L"copy\\"));
    const std::wstring copy = scratch / L"copy";
    EXPECT_EQ(TreeEntries(copy), TreeEntries(source));
    EXPECT_EQ(TreeEntries(copy), (std::vector<std::wstring>{L"a\\", L"a\\b\\", L"a\\b\\deep.dat",
                                                            L"a\\ro.txt", L"empty\\", L"top.txt"}));
    EXPECT_EQ(ReadFileBytes(copy + L"\\top.txt"), "top");
    EXPECT_EQ(ReadFileBytes(copy + L"\\a\\b\\deep.dat"), std::string(70000, 'd'));
    EXPECT_EQ(ReadFileBytes(copy + L"\\a\\ro.txt"), "read only");
    EXPECT_NE(GetFileAttributesW((copy + L"\\a\\b\\deep.dat").c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    // A copy is the product's own, to be written again: read-only goes.
    EXPECT_EQ(GetFileAttributesW((copy + L"\\a\\ro.txt").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    const FILETIME copied = LastWrite(copy + L"\\top.txt");
    EXPECT_EQ(CompareFileTime(&written, &copied), 0);
    // The source is left as it was.
    EXPECT_EQ(ReadFileBytes(source + L"\\top.txt"), "top");
    ClearReadOnly(source + L"\\a\\ro.txt");
    ClearReadOnly(copy + L"\\a\\ro.txt");
}

TEST(CopyFolderTree, AnEmptyFolderCopiesToAnEmptyFolder) {
    ScratchFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"source").c_str(), nullptr));
    EXPECT_TRUE(CopyFolderTree(scratch / L"source", scratch / L"copy"));
    EXPECT_TRUE(FolderExists(scratch / L"copy"));
    EXPECT_TRUE(FolderEntries(scratch / L"copy").empty());
}

TEST(CopyFolderTree, RefusesWhatIsNoFolderAndADestinationThatExists) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"file.txt", "file"));
    EXPECT_FALSE(CopyFolderTree(scratch / L"missing", scratch / L"copy"));
    EXPECT_FALSE(CopyFolderTree(scratch / L"file.txt", scratch / L"copy"));
    EXPECT_FALSE(CopyFolderTree(L"", scratch / L"copy"));
    EXPECT_FALSE(FolderExists(scratch / L"copy"));

    // An existing destination is neither merged into nor replaced.
    const std::wstring source = scratch / L"source";
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(source + L"\\new.txt", "new"));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"dest").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(scratch / L"dest\\old.txt", "old"));
    EXPECT_FALSE(CopyFolderTree(source, scratch / L"dest"));
    EXPECT_EQ(FolderEntries(scratch / L"dest"), std::vector<std::wstring>{L"old.txt"});
}

TEST(CopyFolderTree, PathsPastMaxPathAreRefusedBeforeAnythingIsCreated) {
    ScratchFolder scratch;
    // source\<100 x s>\<n x t>\f.txt: the longest relative path is
    // 100 + 1 + n + 1 + 5 characters.
    const std::wstring source = scratch / L"source";
    const std::wstring level = source + L"\\" + std::wstring(100, L's');
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(level.c_str(), nullptr));
    // The destination is 5 characters longer than the source: a tree that
    // just fits below the source would not fit below it.
    const std::wstring destination = scratch / L"copy_longer";
    ASSERT_EQ(destination.size(), source.size() + 5);
    const size_t relativeFits = MAX_PATH - 1 - destination.size() - 1;
    const size_t n = relativeFits - 100 - 1 - 1 - 5;
    const std::wstring inner = level + L"\\" + std::wstring(n, L't');
    ASSERT_TRUE(CreateDirectoryW(inner.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(inner + L"\\f.txt", "fits"));
    ASSERT_EQ(destination.size() + 1 + (inner.size() - source.size() - 1) + 6,
              static_cast<size_t>(MAX_PATH - 1));

    // The longest path below the destination has 259 characters: copied.
    ASSERT_TRUE(CopyFolderTree(source, destination));
    EXPECT_EQ(ReadFileBytes(destination + L"\\" + std::wstring(100, L's') + L"\\" +
                            std::wstring(n, L't') + L"\\f.txt"),
              "fits");

    // One character more below the destination: refused, nothing created.
    const std::wstring further = scratch / L"copy_longer2";
    EXPECT_FALSE(CopyFolderTree(source, further));
    EXPECT_FALSE(FolderExists(further));
}

TEST(CopyFolderTree, LinksToFoldersAreNeitherEnteredNorCopied) {
    ScratchFolder scratch;
    const std::wstring source = scratch / L"source";
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(source + L"\\own.txt", "own"));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"elsewhere").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(scratch / L"elsewhere\\foreign.txt", "foreign"));
    PlantedFolderLink link(source + L"\\link", scratch / L"elsewhere");
    ASSERT_TRUE(link.IsPlanted());

    ASSERT_TRUE(CopyFolderTree(source, scratch / L"copy"));
    EXPECT_EQ(FolderEntries(scratch / L"copy"), std::vector<std::wstring>{L"own.txt"});

    // A link as the source itself is refused.
    EXPECT_FALSE(CopyFolderTree(link.Path(), scratch / L"copy2"));
    EXPECT_FALSE(FolderExists(scratch / L"copy2"));
}

TEST(CopyFolderTree, AFileThatCannotBeReadFailsTheCopy) {
    ScratchFolder scratch;
    const std::wstring source = scratch / L"source";
    MakeTree(source);
    {
        OpenFileHandle held(source + L"\\a\\b\\deep.dat", 0);
        ASSERT_TRUE(held.IsOpen());
        EXPECT_FALSE(CopyFolderTree(source, scratch / L"copy"));
    }
    ClearReadOnly(source + L"\\a\\ro.txt");
    ClearReadOnly(scratch / L"copy\\a\\ro.txt");
}
