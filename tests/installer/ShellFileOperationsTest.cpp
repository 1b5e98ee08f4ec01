// The shell-based file operations on real folder trees: deletes of missing
// paths, copies of whole folders and of one level, moves that fall back to
// copy and delete, and the refusal of overlong paths, of roots and ".."
// spellings, and of links.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "base/tree/ShellFileOperations.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace {

// source\top.txt, source\sub\inner.txt
void MakeSourceTree(const std::wstring& source) {
    ASSERT_TRUE(CreateDirectoryW(source.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((source + L"\\sub").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(source + L"\\top.txt", "top"));
    ASSERT_TRUE(WriteFileBytes(source + L"\\sub\\inner.txt", "inner"));
}

// The same file spelled with a run of separators in the middle, which the
// system folds into one: at least `length` characters long.
std::wstring LongSpelling(const std::wstring& folder, const std::wstring& name, size_t length) {
    const size_t padding =
        length > folder.size() + name.size() ? length - folder.size() - name.size() : 1;
    return folder + std::wstring(padding, L'\\') + name;
}

}  // namespace

TEST(ShellDelete, MissingPathsCountAsDeleted) {
    ScratchFolder scratch;
    EXPECT_TRUE(ShellDelete(scratch / L"missing.txt", true));
    EXPECT_TRUE(ShellDelete(scratch / L"missing.txt", false));
    EXPECT_TRUE(ShellDelete(scratch / L"gone\\missing.txt", true));
    EXPECT_TRUE(FolderEntries(scratch.Path()).empty());
}

TEST(ShellDelete, DeletesATreeAndAFile) {
    ScratchFolder scratch;
    MakeSourceTree(scratch / L"tree");
    EXPECT_TRUE(ShellDelete(scratch / L"tree\\\\", true));
    EXPECT_FALSE(FolderExists(scratch / L"tree"));

    MakeSourceTree(scratch / L"level");
    ASSERT_TRUE(WriteFileBytes(scratch / L"level.txt", "x"));
    EXPECT_TRUE(ShellDelete(scratch / L"level.txt", false));
    EXPECT_FALSE(FileExists(scratch / L"level.txt"));
}

// Without the refusal the overlong spelling would reach the file.
TEST(ShellFileOperations, OverlongPathsAreRefusedWithoutTouchingAnything) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"victim.txt", "keep"));
    const std::wstring longVictim = LongSpelling(scratch.Path(), L"victim.txt", 260);
    ASSERT_GE(longVictim.size(), 260u);
    ASSERT_TRUE(FileExists(longVictim));

    EXPECT_FALSE(ShellDelete(longVictim, true));
    EXPECT_FALSE(ShellDelete(scratch.Path() + std::wstring(260, L'\\'), true));
    EXPECT_FALSE(MoveFileOrFolder(longVictim, scratch / L"moved.txt"));
    EXPECT_FALSE(
        MoveFileOrFolder(scratch / L"victim.txt", LongSpelling(scratch.Path(), L"moved.txt", 260)));

    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::wstring>{L"victim.txt"});
    EXPECT_EQ(ReadFileBytes(scratch / L"victim.txt"), "keep");

    // 259 characters still pass.
    const std::wstring longestMove = LongSpelling(scratch.Path(), L"moved.txt", 259);
    ASSERT_EQ(longestMove.size(), 259u);
    EXPECT_TRUE(MoveFileOrFolder(scratch / L"victim.txt", longestMove));
    EXPECT_EQ(ReadFileBytes(scratch / L"moved.txt"), "keep");
}

TEST(MoveFileOrFolder, MovesFilesAndFolders) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(scratch / L"b.txt", "b"));
    EXPECT_TRUE(MoveFileOrFolder(scratch / L"a.txt", scratch / L"b.txt"));
    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::wstring>{L"b.txt"});
    EXPECT_EQ(ReadFileBytes(scratch / L"b.txt"), "a");

    MakeSourceTree(scratch / L"source");
    EXPECT_TRUE(MoveFileOrFolder(scratch / L"source", scratch / L"moved"));
    EXPECT_FALSE(FolderExists(scratch / L"source"));
    EXPECT_EQ(ReadFileBytes(scratch / L"moved\\sub\\inner.txt"), "inner");

    EXPECT_FALSE(MoveFileOrFolder(scratch / L"missing.txt", scratch / L"c.txt"));
    EXPECT_FALSE(FileExists(scratch / L"c.txt"));
}

// Wine renames a folder even with a file inside held open, so the fallback
// is reached here by moving onto an existing folder, which no rename
// replaces: the source is copied whole into it, then deleted. A file held
// open in the source stops the delete: the move reports failure, the copy
// is complete and the held file is still in the source.
TEST(MoveFileOrFolder, FolderThatCannotBeRenamedIsCopiedAndDeleted) {
    ScratchFolder scratch;
    MakeSourceTree(scratch / L"source");
    ASSERT_TRUE(CreateDirectoryW((scratch / L"dest").c_str(), nullptr));

    EXPECT_TRUE(MoveFileOrFolder(scratch / L"source", scratch / L"dest"));
    EXPECT_FALSE(FolderExists(scratch / L"source"));
    EXPECT_EQ(ReadFileBytes(scratch / L"dest\\source\\sub\\inner.txt"), "inner");
    EXPECT_EQ(ReadFileBytes(scratch / L"dest\\source\\top.txt"), "top");

    ASSERT_TRUE(ShellDelete(scratch / L"dest\\source", true));
    MakeSourceTree(scratch / L"source");
    OpenFileHandle open(scratch / L"source\\sub\\inner.txt", FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(open.IsOpen());

    EXPECT_FALSE(MoveFileOrFolder(scratch / L"source", scratch / L"dest"));
    EXPECT_TRUE(FileExists(scratch / L"source\\sub\\inner.txt"));
    EXPECT_EQ(ReadFileBytes(scratch / L"dest\\source\\sub\\inner.txt"), "inner");
    EXPECT_EQ(ReadFileBytes(scratch / L"dest\\source\\top.txt"), "top");
}

// With Q: mapped onto the scratch folder, "Q:\d\.." is the drive root in its
// full form and "victim\sub\.." is the victim folder.
TEST(ShellFileOperations, DeletesAndMovesRefuseRootsAndDotPartsTouchingNothing) {
    ScratchFolder scratch;
    MakeSourceTree(scratch / L"d");
    MakeSourceTree(scratch / L"victim");
    const std::vector<std::wstring> before = TreeEntries(scratch.Path());
    MappedDrive drive(scratch.Path());
    ASSERT_TRUE(drive.IsMapped());
    ASSERT_TRUE(FileExists(drive.Root() + L"d\\top.txt"));

    for (const std::wstring& path :
         {drive.Root(), drive.Root() + L"d\\..", drive.Root() + L"d\\..\\",
          scratch / L"victim\\sub\\..", std::wstring()}) {
        EXPECT_FALSE(ShellDelete(path, true)) << path;
        EXPECT_FALSE(ShellDelete(path, false)) << path;
        EXPECT_FALSE(MoveFileOrFolder(path, scratch / L"moved")) << path;
    }
    EXPECT_EQ(TreeEntries(scratch.Path()), before);
}

// The shell would enter a link (Wine's deletes what it points to, even in
// the one-level mode), and Wine moves the target of a link rather than the
// link. Wine cannot remove such a link as itself either: the delete takes
// everything else and leaves the link with the folders that hold it.
TEST(ShellFileOperations, LinksKeepWhatTheyPointTo) {
    ScratchFolder scratch;
    const std::wstring tree = scratch / L"tree";
    MakeSourceTree(tree);
    MakeSourceTree(scratch / L"victim");
    PlantedFolderLink link(tree + L"\\sub\\link", scratch / L"victim");
    ASSERT_TRUE(link.IsPlanted());
    ASSERT_TRUE(CreateDirectoryW((scratch / L"dest").c_str(), nullptr));
    const std::vector<std::wstring> before = TreeEntries(scratch.Path());

    EXPECT_FALSE(ShellDelete(tree, true));
    EXPECT_FALSE(ShellDelete(tree, false));
    EXPECT_FALSE(ShellDelete(link.Path(), true));
    EXPECT_FALSE(MoveFileOrFolder(link.Path(), scratch / L"moved"));
    EXPECT_FALSE(MoveFileOrFolder(tree, scratch / L"dest"));
    std::vector<std::wstring> left = before;
    for (const wchar_t* deleted : {L"tree\\top.txt", L"tree\\sub\\inner.txt"})
        left.erase(std::find(left.begin(), left.end(), deleted));
    EXPECT_EQ(TreeEntries(scratch.Path()), left);

    ASSERT_TRUE(RemoveFolderLink(link.Path()));
    EXPECT_TRUE(ShellDelete(tree, true));
    EXPECT_FALSE(FolderExists(tree));
    EXPECT_EQ(ReadFileBytes(scratch / L"victim\\sub\\inner.txt"), "inner");
}

// A file held open with delete sharing is only marked for deletion: the
// shell reports success while the file is still there until the handle
// closes. Without delete sharing nothing in its tree goes.
TEST(ShellDelete, FailsWhileTheTargetIsStillThere) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"pending.txt", "x"));
    OpenFileHandle pending(scratch / L"pending.txt",
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    ASSERT_TRUE(pending.IsOpen());
    MakeSourceTree(scratch / L"tree");
    OpenFileHandle held(scratch / L"tree\\sub\\inner.txt", FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(held.IsOpen());

    EXPECT_FALSE(ShellDelete(scratch / L"pending.txt", true));
    EXPECT_FALSE(ShellDelete(scratch / L"tree", true));
    EXPECT_TRUE(FileExists(scratch / L"tree\\sub\\inner.txt"));

    pending.Release();
    held.Release();
    EXPECT_TRUE(ShellDelete(scratch / L"pending.txt", true));
    EXPECT_TRUE(ShellDelete(scratch / L"tree", true));
    EXPECT_TRUE(FolderEntries(scratch.Path()).empty());
}
