// The narrow file operations on real files: deleting and copying files that
// are missing, in use or held open, the aside names and the restart queue,
// folder listings and folder-tree deletion.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "base/FileOperations.h"
#include "base/tree/FileIdentity.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/TreeWalk.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace {

struct AsideFile {
    std::wstring name;
    long long tick;
};

// Files named "<name>.<tick>.del" in the folder.
std::vector<AsideFile> AsideFiles(const std::wstring& folder, const std::wstring& name) {
    std::vector<AsideFile> found;
    const std::wstring prefix = name + L".";
    const std::wstring suffix = L".del";
    for (const std::wstring& entry : FolderEntries(folder)) {
        if (entry.size() <= prefix.size() + suffix.size() ||
            entry.compare(0, prefix.size(), prefix) != 0 ||
            entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::wstring tick =
            entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
        found.push_back({entry, std::stoll(tick)});
    }
    return found;
}

std::vector<std::wstring> TemporaryFilesNamedPu() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder(temp);
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    std::vector<std::wstring> names;
    for (const std::wstring& entry : FolderEntries(folder))
        if (entry.size() > 2 && _wcsnicmp(entry.c_str(), L"pu", 2) == 0)
            names.push_back(entry);
    return names;
}

// The short (8.3) spelling of an existing path; empty when there is none.
std::wstring ShortSpelling(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer, length) : std::wstring();
}

std::wstring UpperCase(std::wstring text) {
    CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

// tree\a.txt and tree\sub\b.txt beside victim\v.txt and victim\deep\w.txt.
void MakeTreeAndVictim(const std::wstring& tree, const std::wstring& victim) {
    for (const std::wstring& folder : {tree, tree + L"\\sub", victim, victim + L"\\deep"})
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    for (const std::wstring& file : {tree + L"\\a.txt", tree + L"\\sub\\b.txt", victim + L"\\v.txt",
                                     victim + L"\\deep\\w.txt"})
        ASSERT_TRUE(WriteFileBytes(file, "x"));
}

}  // namespace

TEST(DeleteFileOrRenameAside, MissingAndFreeFilesAreSimplyGone) {
    ScratchFolder scratch;
    EXPECT_TRUE(DeleteFileOrRenameAside(Narrow(scratch / L"missing.txt").c_str()));
    EXPECT_TRUE(DeleteFileOrRenameAside(nullptr));
    EXPECT_TRUE(FolderEntries(scratch.Path()).empty());

    ASSERT_TRUE(WriteFileBytes(scratch / L"free.txt", "free"));
    EXPECT_TRUE(DeleteFileOrRenameAside(Narrow(scratch / L"free.txt").c_str()));
    EXPECT_TRUE(FolderEntries(scratch.Path()).empty());
}

// A program image in use cannot be deleted but can be renamed: it goes
// aside under "<name>.<tick>.del", queued for deletion at restart, and a
// simulated restart removes it.
TEST(DeleteFileOrRenameAside, FileInUseGoesAsideAndIsDeletedAtRestart) {
    PendingRenamesGuard pendingGuard;
    ScratchFolder scratch;
    HeldImage held(scratch / L"held.dll");
    ASSERT_TRUE(held.IsHeld());

    const long long before = static_cast<int>(GetTickCount());
    EXPECT_TRUE(DeleteFileOrRenameAside(Narrow(scratch / L"held.dll").c_str()));
    const long long after = static_cast<int>(GetTickCount());

    const std::vector<AsideFile> aside = AsideFiles(scratch.Path(), L"held.dll");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::wstring>{aside[0].name});
    EXPECT_GE(aside[0].tick, before);
    EXPECT_LE(aside[0].tick, after);
    const std::wstring asidePath = scratch / aside[0].name;
    EXPECT_TRUE(IsQueuedForDeletion(asidePath));

    held.Release();
    DWORD exitCode = 1;
    ASSERT_TRUE(RunAndWait(L"wineboot.exe -r", 120000, &exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_FALSE(FileExists(asidePath));
}

// Renaming needs delete access too, so a file that another handle holds
// open without delete sharing can neither go nor go aside: it stays, and
// nothing is queued.
TEST(DeleteFileOrRenameAside, FileOpenWithoutDeleteSharingStays) {
    PendingRenamesGuard pendingGuard;
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"open.txt", "open"));
    OpenFileHandle open(scratch / L"open.txt", FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_TRUE(open.IsOpen());

    const std::vector<std::wstring> pendingBefore = ReadPendingRenames();
    EXPECT_TRUE(DeleteFileOrRenameAside(Narrow(scratch / L"open.txt").c_str()));
    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::wstring>{L"open.txt"});
    EXPECT_EQ(ReadPendingRenames(), pendingBefore);
}

// The aside name is built in a path-sized buffer; when it does not fit, the
// file is left where it is rather than renamed to a cut name.
TEST(DeleteFileOrRenameAside, AsideNameTooLongLeavesTheFileInPlace) {
    PendingRenamesGuard pendingGuard;
    ScratchFolder scratch;
    const size_t nameLength = 251 - scratch.Path().size();
    const std::wstring name = std::wstring(nameLength - 4, L'h') + L".dll";
    HeldImage held(scratch / name);
    ASSERT_TRUE(held.IsHeld());
    ASSERT_EQ((scratch / name).size(), 252u);

    const std::vector<std::wstring> pendingBefore = ReadPendingRenames();
    EXPECT_TRUE(DeleteFileOrRenameAside(Narrow(scratch / name).c_str()));
    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::wstring>{name});
    EXPECT_EQ(ReadPendingRenames(), pendingBefore);
}

TEST(DeleteFileOrMoveAside, FileInUseGoesAsideWithoutLeavingTemporaryFiles) {
    PendingRenamesGuard pendingGuard;
    ScratchFolder scratch;
    HeldImage held(scratch / L"held.dll");
    ASSERT_TRUE(held.IsHeld());
    const std::vector<std::wstring> temporaryBefore = TemporaryFilesNamedPu();

    EXPECT_TRUE(DeleteFileOrMoveAside(Narrow(scratch / L"held.dll").c_str()));

    const std::vector<AsideFile> aside = AsideFiles(scratch.Path(), L"held.dll");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(FolderEntries(scratch.Path()).size(), 1u);
    EXPECT_TRUE(IsQueuedForDeletion(scratch / aside[0].name));
    EXPECT_EQ(TemporaryFilesNamedPu(), temporaryBefore);
}

TEST(CopyFileWithRetry, MissingSourceOrNameLeavesTheDestinationAlone) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"dst.txt", "old"));
    const std::string destination = Narrow(scratch / L"dst.txt");

    EXPECT_FALSE(CopyFileWithRetry(destination.c_str(), Narrow(scratch / L"none.txt").c_str()));
    EXPECT_FALSE(CopyFileWithRetry(destination.c_str(), nullptr));
    EXPECT_FALSE(CopyFileWithRetry(destination.c_str(), ""));
    EXPECT_FALSE(CopyFileWithRetry(nullptr, destination.c_str()));
    EXPECT_EQ(ReadFileBytes(scratch / L"dst.txt"), "old");
    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::wstring>{L"dst.txt"});
}

TEST(CopyFileWithRetry, ReplacesAFreeDestinationAndKeepsAFileCopiedOntoItself) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"src.txt", "new"));
    ASSERT_TRUE(WriteFileBytes(scratch / L"dst.txt", "old"));

    EXPECT_TRUE(CopyFileWithRetry(Narrow(scratch / L"dst.txt").c_str(),
                                  Narrow(scratch / L"src.txt").c_str()));
    EXPECT_EQ(ReadFileBytes(scratch / L"dst.txt"), "new");
    EXPECT_EQ(FolderEntries(scratch.Path()), (std::vector<std::wstring>{L"dst.txt", L"src.txt"}));

    // The same file under two spellings must not be deleted to make room
    // for itself.
    std::string sameFile = Narrow(scratch / L"src.txt");
    std::replace(sameFile.begin(), sameFile.end(), '\\', '/');
    EXPECT_TRUE(CopyFileWithRetry(sameFile.c_str(), Narrow(scratch / L"src.txt").c_str()));
    EXPECT_EQ(ReadFileBytes(scratch / L"src.txt"), "new");
}

// The short spelling of the source names the source itself: nothing may be
// deleted to make room.
TEST(CopyFileWithRetry, ShortSpellingOfTheSourceKeepsTheSource) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"LongSourceName.txt", "source"));
    const std::wstring shortSource = ShortSpelling(scratch / L"LongSourceName.txt");
    ASSERT_FALSE(shortSource.empty());
    ASSERT_NE(shortSource, scratch / L"LongSourceName.txt");

    EXPECT_TRUE(CopyFileWithRetry(Narrow(shortSource).c_str(),
                                  Narrow(scratch / L"LongSourceName.txt").c_str()));
    EXPECT_EQ(ReadFileBytes(scratch / L"LongSourceName.txt"), "source");
    EXPECT_EQ(FolderEntries(scratch.Path()), std::vector<std::wstring>{L"LongSourceName.txt"});
}

TEST(CopyFileWithRetry, DestinationInUseIsMovedAsideAndReplaced) {
    PendingRenamesGuard pendingGuard;
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"src.dll", "new module"));
    HeldImage held(scratch / L"dst.dll");
    ASSERT_TRUE(held.IsHeld());

    EXPECT_TRUE(CopyFileWithRetry(Narrow(scratch / L"dst.dll").c_str(),
                                  Narrow(scratch / L"src.dll").c_str()));
    EXPECT_EQ(ReadFileBytes(scratch / L"dst.dll"), "new module");
    const std::vector<AsideFile> aside = AsideFiles(scratch.Path(), L"dst.dll");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadFileBytes(scratch / aside[0].name), ReadFileBytes(BinFile(L"RvInstaller.dll")));
    EXPECT_TRUE(IsQueuedForDeletion(scratch / aside[0].name));
}

// A destination that can be neither replaced nor moved aside still exists
// after the attempts, but with its old content: that is a failed copy.
TEST(CopyFileWithRetry, DestinationHeldExclusivelyFails) {
    ScratchFolder scratch;
    ASSERT_TRUE(WriteFileBytes(scratch / L"src.txt", "new"));
    ASSERT_TRUE(WriteFileBytes(scratch / L"dst.txt", "old"));
    OpenFileHandle open(scratch / L"dst.txt", 0);
    ASSERT_TRUE(open.IsOpen());

    EXPECT_FALSE(CopyFileWithRetry(Narrow(scratch / L"dst.txt").c_str(),
                                   Narrow(scratch / L"src.txt").c_str()));
    open.Release();
    EXPECT_EQ(ReadFileBytes(scratch / L"dst.txt"), "old");
    EXPECT_EQ(FolderEntries(scratch.Path()), (std::vector<std::wstring>{L"dst.txt", L"src.txt"}));
}

// Files and folders are the same object under their short spelling and in
// other case, also while held open without sharing; different or missing
// objects are not.
TEST(IsSameFileObject, ComparesTheObjectsNotTheSpellings) {
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"LongFolderName";
    const std::wstring file = folder + L"\\LongFileName.txt";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((scratch / L"LongFolderOther").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(file, "x"));
    ASSERT_TRUE(WriteFileBytes(folder + L"\\LongFileOther.txt", "x"));
    const std::wstring shortFolder = ShortSpelling(folder);
    const std::wstring shortFile = ShortSpelling(file);
    ASSERT_FALSE(shortFolder.empty());
    ASSERT_NE(shortFolder, folder);
    ASSERT_NE(shortFile, file);

    EXPECT_TRUE(IsSameFileObject(folder, shortFolder));
    EXPECT_TRUE(IsSameFileObject(folder, UpperCase(folder)));
    EXPECT_TRUE(IsSameFileObject(folder + L"\\", scratch / L"LongFolderOther\\..\\LongFolderName"));
    EXPECT_TRUE(IsSameFileObject(file, shortFile));
    EXPECT_FALSE(IsSameFileObject(folder, scratch / L"LongFolderOther"));
    EXPECT_FALSE(IsSameFileObject(file, folder + L"\\LongFileOther.txt"));
    EXPECT_FALSE(IsSameFileObject(folder, scratch / L"missing"));
    EXPECT_FALSE(IsSameFileObject(scratch / L"missing", scratch / L"missing"));
    EXPECT_FALSE(IsSameFileObject(L"", L""));

    OpenFileHandle held(file, 0);
    ASSERT_TRUE(held.IsOpen());
    EXPECT_TRUE(IsSameFileObject(UpperCase(file), shortFile));
}

// What is held stays (the image under its aside name, queued for restart;
// the exclusively opened file under its own name), everything else goes.
TEST(FolderTree, DeleteLeavesOnlyWhatIsLocked) {
    PendingRenamesGuard pendingGuard;
    ScratchFolder scratch;
    const std::wstring tree = scratch / L"tree";
    for (const wchar_t* folder : {L"", L"\\sub", L"\\sub\\deep", L"\\other"})
        ASSERT_TRUE(CreateDirectoryW((tree + folder).c_str(), nullptr));
    for (const wchar_t* file : {L"\\a.txt", L"\\locked.bin", L"\\noext", L"\\sub\\b.txt",
                                L"\\sub\\deep\\c.txt", L"\\other\\d.txt"})
        ASSERT_TRUE(WriteFileBytes(tree + file, "x"));
    ASSERT_TRUE(SetFileAttributesW((tree + L"\\a.txt").c_str(), FILE_ATTRIBUTE_HIDDEN));
    OpenFileHandle locked(tree + L"\\locked.bin", 0);
    ASSERT_TRUE(locked.IsOpen());
    HeldImage held(tree + L"\\sub\\held.dll");
    ASSERT_TRUE(held.IsHeld());
    const std::vector<std::wstring> temporaryBefore = TemporaryFilesNamedPu();

    EXPECT_FALSE(DeleteFolderTree(Narrow(tree)));

    EXPECT_EQ(FolderEntries(tree), (std::vector<std::wstring>{L"locked.bin", L"sub"}));
    const std::vector<AsideFile> aside = AsideFiles(tree + L"\\sub", L"held.dll");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(FolderEntries(tree + L"\\sub"), std::vector<std::wstring>{aside[0].name});
    EXPECT_TRUE(IsQueuedForDeletion(tree + L"\\sub\\" + aside[0].name));
    EXPECT_EQ(TemporaryFilesNamedPu(), temporaryBefore);

    locked.Release();
    held.Release();
    EXPECT_TRUE(DeleteFolderTree(Narrow(tree) + "\\"));
    EXPECT_FALSE(FolderExists(tree));
    EXPECT_TRUE(DeleteFolderTree(Narrow(tree)));
}

// With Q: mapped onto the scratch folder, "Q:\d\.." is the drive root in its
// full form and "victim\sub\.." is the victim folder.
TEST(FolderTree, DeletesRefuseRootsAndDotPartsTouchingNothing) {
    ScratchFolder scratch;
    MakeTreeAndVictim(scratch / L"d", scratch / L"victim");
    ASSERT_TRUE(CreateDirectoryW((scratch / L"victim\\sub").c_str(), nullptr));
    const std::vector<std::wstring> before = TreeEntries(scratch.Path());
    MappedDrive drive(scratch.Path());
    ASSERT_TRUE(drive.IsMapped());
    ASSERT_TRUE(FileExists(drive.Root() + L"d\\a.txt"));
    const std::string root = Narrow(drive.Root());

    for (const std::string& folder : {root, root + "d\\..", root + "d\\..\\", root + "d\\.",
                                      scratch.Narrow() + "\\victim\\sub\\..", std::string()}) {
        EXPECT_FALSE(DeleteFolderTree(folder)) << folder;
    }
    EXPECT_EQ(TreeEntries(scratch.Path()), before);
}

// A link inside the tree is never entered, and what it points
// to stays whole. Wine cannot remove such a link as itself, so it stays too,
// with the folders that hold it; a link as the top folder is refused.
TEST(FolderTree, LinksAreLeaves) {
    ScratchFolder scratch;
    const std::wstring tree = scratch / L"tree";
    const std::wstring victim = scratch / L"victim";
    MakeTreeAndVictim(tree, victim);
    PlantedFolderLink link(tree + L"\\sub\\link", victim);
    ASSERT_TRUE(link.IsPlanted());
    const std::vector<std::wstring> victimEntries = TreeEntries(victim);
    ASSERT_EQ(victimEntries, (std::vector<std::wstring>{L"deep\\", L"deep\\w.txt", L"v.txt"}));

    EXPECT_FALSE(DeleteFolderTree(Narrow(tree)));
    EXPECT_EQ(TreeEntries(victim), victimEntries);
    EXPECT_EQ(TreeEntries(tree), (std::vector<std::wstring>{L"sub\\", L"sub\\link\\"}));

    EXPECT_FALSE(DeleteFolderTree(Narrow(link.Path())));
    EXPECT_FALSE(DeleteFolderTree(Narrow(link.Path()) + "\\"));
    EXPECT_EQ(TreeEntries(victim), victimEntries);

    ASSERT_TRUE(RemoveFolderLink(link.Path()));
    EXPECT_TRUE(DeleteFolderTree(Narrow(tree)));
    EXPECT_FALSE(FolderExists(tree));
}

// A link swapped in for a folder and for a file of the tree after the walk
// listed them, before it acts on them: on Wine the system then opens what
// the link points to, which the walk must see is not what it listed.
TEST(FolderTree, ALinkSwappedInAfterTheListingIsNeverFollowed) {
    ScratchFolder scratch;
    const std::wstring tree = scratch / L"tree";
    const std::wstring victim = scratch / L"victim";
    MakeTreeAndVictim(tree, victim);
    const std::vector<std::wstring> victimEntries = TreeEntries(victim);
    struct Swap {
        std::string tree, victim;
        int swapped;
    } swap{"'" + UnixPath(tree), "'" + UnixPath(victim), 0};
    SetTreeWalkSeamForTesting(
        [](const std::wstring& path, void* context) {
            Swap& s = *static_cast<Swap*>(context);
            const std::string name = Narrow(path.substr(path.find_last_of(L'\\') + 1));
            if (name != "sub" && name != "a.txt")
                return;
            const std::string target = name == "sub" ? "/deep'" : "/v.txt'";
            s.swapped += RunUnixCommand("/bin/mv " + s.tree + "/" + name + "' " + s.tree + "/" +
                                        name + ".moved' && /bin/ln -s " + s.victim + target + " " +
                                        s.tree + "/" + name + "'");
        },
        &swap);
    EXPECT_FALSE(DeleteFolderTree(Narrow(tree)));
    SetTreeWalkSeamForTesting(nullptr, nullptr);
    EXPECT_EQ(swap.swapped, 2);
    EXPECT_EQ(TreeEntries(victim), victimEntries);
    EXPECT_EQ(ReadFileBytes(victim + L"\\v.txt"), "x");
    EXPECT_TRUE(RunUnixCommand("/bin/rm -f " + swap.tree + "/sub' " + swap.tree + "/a.txt'"));
}

// RemoveDirectoryW on a Wine link removes the (empty) target instead; the
// link is only removed when the system opens the link itself.
TEST(FolderLinks, FindsLinksAndRemovesNothingButALinkItself) {
    ScratchFolder scratch;
    const std::wstring tree = scratch / L"tree";
    const std::wstring empty = scratch / L"empty";
    for (const std::wstring& folder : {tree, tree + L"\\sub", empty})
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    PlantedFolderLink link(tree + L"\\sub\\link", empty);
    ASSERT_TRUE(link.IsPlanted());

    EXPECT_TRUE(IsLinkPath(link.Path()));
    EXPECT_FALSE(IsLinkPath(empty));
    EXPECT_FALSE(IsLinkPath(scratch / L"missing"));
    std::vector<std::wstring> links;
    EXPECT_TRUE(FindTreeLinks(tree + L"\\", links));
    EXPECT_EQ(links, std::vector<std::wstring>{link.Path()});
    EXPECT_FALSE(FindTreeLinks(scratch / L"missing", links));

    EXPECT_FALSE(RemoveLinkItself(link.Path()));
    EXPECT_FALSE(RemoveLinkItself(empty));
    EXPECT_TRUE(FolderExists(empty));
    EXPECT_TRUE(IsLinkPath(link.Path()));
}
