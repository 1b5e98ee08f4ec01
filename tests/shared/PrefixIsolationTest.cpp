// The test prefixes keep every special folder inside themselves: installs
// into special folders, and deletes there, must never reach the machine's own
// files through a link that Wine made to the home folder.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

namespace {

// kernel32's Wine extension: the Unix path of a Windows path, in a block
// from the process heap.
using UnixFileNameFunction = char*(__cdecl*)(const wchar_t* dosName);

std::string UnixPath(UnixFileNameFunction toUnix, const std::wstring& path) {
    char* unixName = toUnix(path.c_str());
    if (!unixName)
        return std::string();
    std::string text(unixName);
    HeapFree(GetProcessHeap(), 0, unixName);
    return text;
}

// The first existing component of the path (from the drive root on) that is
// listed as a reparse point, or an empty text.
std::wstring FirstReparsePoint(const std::wstring& path) {
    for (size_t end = path.find(L'\\', 3);; end = path.find(L'\\', end + 1)) {
        const std::wstring part = path.substr(0, end);
        const DWORD attributes = GetFileAttributesW(part.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return part;
        if (end == std::wstring::npos)
            return std::wstring();
    }
}

}  // namespace

TEST(SpecialFolders, AllLieOnDriveCInsideThePrefixWithoutLinks) {
    wchar_t prefix[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"WINEPREFIX", prefix, MAX_PATH), 0u)
        << "WINEPREFIX is not visible inside the process";
    const std::string prefixFolder = Narrow(prefix) + "/";
    auto toUnix = reinterpret_cast<UnixFileNameFunction>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    ASSERT_NE(toUnix, nullptr);

    struct Folder {
        std::wstring name, path;
    };
    std::vector<Folder> folders;
    for (int csidl = 0; csidl <= 0x3F; ++csidl) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK && path[0])
            folders.push_back({L"CSIDL " + std::to_wstring(csidl), path});
    }
    wchar_t profile[MAX_PATH] = {};
    ASSERT_GT(GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH), 0u);
    folders.push_back({L"USERPROFILE", profile});
    // Desktop, Documents, Music, Pictures, Videos, the profile and more.
    EXPECT_GE(folders.size(), 30u);

    for (const Folder& folder : folders) {
        const std::string what = Narrow(folder.name + L" " + folder.path);
        EXPECT_TRUE(folder.path.size() >= 3 && folder.path.compare(0, 3, L"C:\\") == 0) << what;
        EXPECT_EQ(FirstReparsePoint(folder.path), L"") << what;
        const std::string unixPath = UnixPath(toUnix, folder.path);
        EXPECT_EQ(unixPath.compare(0, prefixFolder.size(), prefixFolder), 0)
            << what << " -> " << unixPath;
    }
}
