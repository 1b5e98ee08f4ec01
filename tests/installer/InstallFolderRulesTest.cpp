// Where an install may go: the sub-folder text, the absolute install folder,
// sameness of two folders as Windows decides it, the protected folders, and
// the registry view a key is deleted in.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/RegKey.h"
#include "base/tree/ProtectedFolders.h"
#include "base/tree/TreeGuard.h"
#include "installer/InstallFolderRules.h"
#include "tests/support/TestEnvironment.h"

TEST(InstallFolderRules, SubDirMustStayBelowItsSpecialFolder) {
    for (const wchar_t* valid : {L"", L"Dovadi", L"Vendor\\Product 2", L"a/b", L"Dovadi\\",
                                 L"name.with.dots", L"..name", L"COM10", L"console"}) {
        EXPECT_TRUE(IsValidSubDir(valid)) << Narrow(valid);
    }
    for (const wchar_t* invalid : {L"..",
                                   L"..\\x",
                                   L"a\\..\\..\\x",
                                   L"a/../b",
                                   L".",
                                   L"a\\.\\b",
                                   L"...",
                                   L"\\x",
                                   L"/x",
                                   L"\\\\server\\share",
                                   L"C:\\x",
                                   L"C:x",
                                   L"a\\\\b",
                                   L"a<b",
                                   L"a>b",
                                   L"a\"b",
                                   L"a|b",
                                   L"a?b",
                                   L"a*b",
                                   L"a\tb",
                                   L"name.",
                                   L"name ",
                                   L"a\\b.\\c",
                                   L"CON",
                                   L"nul.txt",
                                   L"a\\LPT1",
                                   L"com3 .log",
                                   L"\\"}) {
        EXPECT_FALSE(IsValidSubDir(invalid)) << Narrow(invalid);
    }
}

TEST(InstallFolderRules, ContainmentFollowsWholeNames) {
    const std::pair<const wchar_t*, const wchar_t*> inside[] = {{L"C:\\a\\b", L"C:\\a"},
                                                                {L"c:/A/b\\", L"C:\\a\\"},
                                                                {L"C:\\a", L"C:\\a"},
                                                                {L"C:\\x", L"C:\\"}};
    for (const auto& pair : inside)
        EXPECT_TRUE(IsSameOrInsidePath(pair.first, pair.second)) << Narrow(pair.first);
    const std::pair<const wchar_t*, const wchar_t*> outside[] = {
        {L"C:\\ab", L"C:\\a"}, {L"C:\\a", L"C:\\a\\b"}, {L"D:\\a", L"C:\\a"}, {L"C:\\a", L""}};
    for (const auto& pair : outside)
        EXPECT_FALSE(IsSameOrInsidePath(pair.first, pair.second)) << Narrow(pair.first);
}

TEST(InstallFolderRules, InstallFolderMustBeAbsolute) {
    for (const wchar_t* path : {L"C:\\ProgramData\\Dovadi", L"d:/x", L"\\\\server\\share\\x"})
        EXPECT_TRUE(IsAbsoluteFolderPath(path)) << Narrow(path);
    for (const wchar_t* path :
         {L"Dovadi", L"C:Dovadi", L"\\Dovadi", L"\\\\server", L"\\\\\\x", L""})
        EXPECT_FALSE(IsAbsoluteFolderPath(path)) << Narrow(path);
}

TEST(InstallFolderRules, SamenessFollowsWindowsNotTheText) {
    ScratchFolder scratch;
    const std::wstring folder = scratch / L"LongFolderName";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_NE(GetShortPathNameW(folder.c_str(), shortPath, MAX_PATH), 0u);
    EXPECT_NE(std::wstring(shortPath), folder);

    EXPECT_TRUE(IsSameFolder(folder, shortPath));
    EXPECT_TRUE(IsSameFolder(folder, scratch / L"LONGFOLDERNAME"));
    EXPECT_TRUE(IsSameFolder(folder, folder + L"\\\\"));
    EXPECT_TRUE(IsSameFolder(folder, scratch / L"x\\..\\LongFolderName"));
    // Folders that do not exist yet are compared by their full text alone.
    EXPECT_TRUE(IsSameFolder(scratch / L"Missing", scratch / L"MISSING/"));
    EXPECT_FALSE(IsSameFolder(folder, scratch / L"Other"));
    EXPECT_FALSE(IsSameFolder(folder, L""));
}

TEST(InstallFolderRules, RootsSpecialFoldersAndTheProfileAreProtected) {
    for (int csidl : {CSIDL_PROFILE, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_APPDATA, CSIDL_APPDATA,
                      CSIDL_WINDOWS, CSIDL_PROGRAM_FILES}) {
        wchar_t folder[MAX_PATH] = {};
        ASSERT_EQ(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder), S_OK);
        EXPECT_TRUE(IsProtectedFolder(folder)) << Narrow(folder);
        EXPECT_TRUE(IsProtectedFolder(std::wstring(folder) + L"\\")) << Narrow(folder);
    }
    // "c:" names the current folder of drive C:, its root here.
    wchar_t current[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    SetCurrentDirectoryW(L"C:\\");
    for (const wchar_t* root :
         {L"C:\\", L"c:", L"C:\\Windows\\..", L"\\\\server\\share\\", L"\\\\?\\C:\\", L"\\\\.\\C:"})
        EXPECT_TRUE(IsProtectedFolder(root)) << Narrow(root);
    SetCurrentDirectoryW(current);
    ScratchFolder scratch;
    EXPECT_FALSE(IsProtectedFolder(scratch.Path()));
    EXPECT_FALSE(IsProtectedFolder(L"\\\\server\\share\\folder"));
}

// What a 32-bit process is not shown, the folders that hold the profiles,
// and everything below the Windows folder are beyond every tree operation;
// a plain folder beside them is not.
TEST(InstallFolderRules, TreeOperationsStayOutOfWhatTheSystemAndUsersOwn) {
    wchar_t windows[MAX_PATH] = {}, profile[MAX_PATH] = {};
    ASSERT_GT(GetSystemWindowsDirectoryW(windows, MAX_PATH), 0u);
    ASSERT_EQ(SHGetFolderPathW(nullptr, CSIDL_PROFILE, nullptr, SHGFP_TYPE_CURRENT, profile), S_OK);
    const std::wstring drive = std::wstring(windows).substr(0, 3);
    const std::wstring users = std::wstring(profile).substr(0, std::wstring(profile).rfind(L'\\'));
    const std::wstring inWindows = std::wstring(windows) + L"\\RvTreeGuardTest";
    ASSERT_TRUE(CreateDirectoryW(inWindows.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    std::vector<std::wstring> refused = {inWindows, std::wstring(windows) + L"\\Fonts", profile,
                                         users};
    if (RunsUnderWow64()) {
        // Neither is among the special folders of a 32-bit process.
        refused.push_back(std::wstring(windows) + L"\\Sysnative");
        refused.push_back(drive + L"Program Files");
        EXPECT_TRUE(IsProtectedFolder(drive + L"Program Files"));
    }
    for (const std::wstring& folder : refused)
        EXPECT_NE(TreeTargetRefusal(folder), nullptr) << Narrow(folder);
    EXPECT_TRUE(IsProtectedFolder(users));
    RemoveDirectoryW(inWindows.c_str());
    ScratchFolder scratch;
    ASSERT_TRUE(CreateDirectoryW((scratch / L"sub").c_str(), nullptr));
    EXPECT_EQ(TreeTargetRefusal(scratch / L"sub"), nullptr);
}

// The view-aware delete removes the sub-key only in the view the parent was
// opened in.
TEST(RegKeyTest, DeletesInTheViewItWasOpenedIn) {
    const char* const kParent = "Software\\RvTests\\RegKeyView";
    const REGSAM views[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
    for (REGSAM view : views) {
        HKEY created = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (std::string(kParent) + "\\child").c_str(), 0,
                                  nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(created);
    }
    RegKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, "Software\\RvTests\\NoSuchKey", KEY_READ), 2);
    EXPECT_EQ(key.Handle(), nullptr);
    EXPECT_EQ(key.Close(), 0);
    ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kParent, KEY_READ | KEY_WRITE | KEY_WOW64_64KEY), 0);
    EXPECT_EQ(key.ViewFlags(), static_cast<REGSAM>(KEY_WOW64_64KEY));
    EXPECT_EQ(key.DeleteSubKey("child"), 0);
    key.Close();

    auto childExists = [&](REGSAM view) {
        HKEY child = nullptr;
        const bool exists =
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kParent) + "\\child").c_str(), 0,
                          KEY_READ | view, &child) == ERROR_SUCCESS;
        if (exists)
            RegCloseKey(child);
        return exists;
    };
    EXPECT_FALSE(childExists(KEY_WOW64_64KEY));
    // On 32-bit Windows both flags name the one view.
    EXPECT_EQ(childExists(KEY_WOW64_32KEY), RunsUnderWow64());
    for (REGSAM view : views)
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kParent, view, 0);
    for (REGSAM view : views)
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, (std::string(kParent) + "\\child").c_str(), view, 0);
}
