#include <gtest/gtest.h>
#include <shlobj.h>

#include <regex>

#include "base/StandardPaths.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/TestEnvironment.h"

namespace {

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// No special folder has this identifier.
constexpr int kUnknownCsidl = 255;

}  // namespace

TEST(DefaultInstallPath, SpecialFolderJoinedWithDovadi) {
    const std::wstring dovadi = SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Dovadi";
    const bool existed = FolderExists(dovadi);
    std::wstring path;
    EXPECT_EQ(existed, GetDefaultInstallPath(path, CSIDL_COMMON_APPDATA));
    EXPECT_EQ(dovadi, path);
    // The result tells whether the folder exists; it is never created here.
    if (!existed) {
        EXPECT_FALSE(FolderExists(dovadi));
        ASSERT_TRUE(CreateDirectoryW(dovadi.c_str(), nullptr));
    }
    EXPECT_TRUE(GetDefaultInstallPath(path, CSIDL_COMMON_APPDATA));
    if (!existed)
        RemoveDirectoryW(dovadi.c_str());

    EXPECT_EQ(FolderExists(SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Dovadi"),
              GetDefaultInstallPath(path, CSIDL_PROGRAM_FILES));
    EXPECT_EQ(SpecialFolder(CSIDL_PROGRAM_FILES) + L"\\Dovadi", path);
}

TEST(DefaultInstallPath, UnknownSpecialFolderFallsBackToCommonAppDataWithATraceLine) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    std::wstring path;
    GetDefaultInstallPath(path, CSIDL_COMMON_APPDATA);
    ASSERT_TRUE(capture.Sync());
    for (const std::string& text : capture.Texts(GetCurrentProcessId()))
        EXPECT_EQ(std::string::npos, text.find("PathUtil")) << text;

    capture.Clear();
    GetDefaultInstallPath(path, kUnknownCsidl);
    EXPECT_EQ(SpecialFolder(CSIDL_COMMON_APPDATA) + L"\\Dovadi", path);
    ASSERT_TRUE(capture.Sync());
    const std::regex line(
        "\\(([0-9]+)\\)#Pu#\\[PathUtil:248\\]\\(([0-9]+)\\)- "
        "GetDefaultInstallPath err csidl_dir = 255\n");
    int found = 0;
    for (const std::string& text : capture.Texts(GetCurrentProcessId())) {
        std::smatch match;
        if (!std::regex_match(text, match, line))
            continue;
        ++found;
        EXPECT_EQ(std::to_string(GetCurrentThreadId()), match[2].str());
    }
    EXPECT_EQ(1, found);
}

TEST(ModuleVersion, VersionOfALoadedModule) {
    HMODULE module = LoadLibraryW(BinFile(L"RvTestVersion.dll").c_str());
    ASSERT_NE(nullptr, module);
    std::string version;
    EXPECT_TRUE(GetModuleVersionString(module, version));
    EXPECT_EQ("3.1.0.12", version);
    FreeLibrary(module);

    module = LoadLibraryW(BinFile(L"RvTestBigVersion.dll").c_str());
    ASSERT_NE(nullptr, module);
    version = "unchanged";
    EXPECT_FALSE(GetModuleVersionString(module, version));
    EXPECT_EQ("unchanged", version);
    FreeLibrary(module);
}
