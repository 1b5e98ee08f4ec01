// Installs for users whose names and folders are not ASCII. The test run
// starts these in prefixes made for a Chinese user (张伟) and a German one
// (Jörg Müller), once under the code page of that name (936, 1252) and once
// under the other. RV_TEST_USER_CODEPAGE names the code page the user name
// belongs to, RV_TEST_CODEPAGE the one the run's locale must give; without
// them the tests are skipped.
#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "base/TextConvert.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/installer/InstallBed.h"

namespace {

constexpr int kLocalAppData = CSIDL_LOCAL_APPDATA;
const wchar_t kClsidA[] = L"6D0C1F52-3A9B-4C7E-9E21-5A4B3C2D1E71";
const wchar_t kClsidB[] = L"6D0C1F52-3A9B-4C7E-9E21-5A4B3C2D1E72";

struct Texts {
    std::wstring top, folder, folder2, foreign, key;
};

Texts ForCodePage(UINT codePage) {
    if (codePage == 936)
        return {L"通达信", L"通达信\\乗插件", L"通达信\\插件二", L"Jörg", L"通达信图标"};
    return {L"Börse Müller", L"Börse Müller\\Daten", L"Börse Müller\\Daten2", L"通达信",
            L"Prüfung"};
}

// Whether this run is the one for the user's own code page (`own`) or for
// the other one; a locale that did not give the expected code page fails.
bool IsCodePageRun(bool own) {
    wchar_t user[16] = {}, expected[16] = {};
    GetEnvironmentVariableW(L"RV_TEST_USER_CODEPAGE", user, 16);
    if (GetEnvironmentVariableW(L"RV_TEST_CODEPAGE", expected, 16) == 0 || user[0] == 0)
        return false;
    EXPECT_EQ(GetACP(), wcstoul(expected, nullptr, 10)) << "the run's locale is missing";
    return GetACP() == wcstoul(expected, nullptr, 10) && (wcscmp(user, expected) == 0) == own;
}

// A JSON string literal with every non-ASCII unit escaped, as many JSON
// writers send it.
std::string Escaped(const std::wstring& text) {
    std::string literal = "\"";
    for (wchar_t c : text) {
        char unit[8];
        std::snprintf(unit, sizeof(unit), "\\u%04X", static_cast<unsigned>(c));
        literal += c == L'\\' ? std::string("\\\\") : c < 0x80 ? std::string(1, char(c)) : unit;
    }
    return literal + "\"";
}

// The same text as raw bytes of the ANSI code page, or of UTF-8.
std::string RawLiteral(const std::string& bytes) {
    std::string literal = "\"";
    for (char c : bytes)
        literal += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return literal + "\"";
}
std::string RawAnsi(const std::wstring& text) {
    return RawLiteral(Narrow(text));
}
// Raw bytes as a writer that knows the code page's characters sends them:
// only a backslash of its own is escaped, never the trail byte 0x5C of a
// double-byte character (GBK 乗 is 81 5C).
std::string RawCharacters(const std::wstring& text) {
    std::string literal = "\"";
    for (wchar_t c : text)
        literal += c == L'\\' ? std::string("\\\\") : Narrow(std::wstring(1, c));
    return literal + "\"";
}

std::string Params(const std::string& subDir,
                   const std::string& key,
                   const std::wstring& clsid,
                   const std::string& extra = "") {
    return "{\"subDir\":" + subDir + ",\"ExplorerKey\":" + key + ",\"CLSID\":\"" + Narrow(clsid) +
           "\"" + extra + "}";
}

std::wstring IniText(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t value[300] = {};
    GetPrivateProfileStringW(section, key, L"<missing>", value, 300, file.c_str());
    return value;
}

std::wstring RecordedInstallDir() {
    return IniText(InstallBed::DataConfigFile(), L"Config", L"installDir");
}

std::wstring UserConfig(const std::wstring& folder) {
    return folder + L"\\Conf\\User\\Config.ini";
}

}  // namespace

// The user's own code page: request text in it, raw or escaped, names the
// same folder below the user's profile, and an upgrade carries its records.
TEST(CodePageScenario, UserOfTheCodePage) {
    if (!IsCodePageRun(true))
        GTEST_SKIP() << "runs in the code-page prefixes under the user's code page";
    InstallBed bed;
    const Texts text = ForCodePage(GetACP());
    const std::wstring first = InstallBed::FolderIn(kLocalAppData, text.folder);
    const std::wstring second = InstallBed::FolderIn(kLocalAppData, text.folder2);
    bed.Track(InstallBed::FolderIn(kLocalAppData, text.top), L"RvCpKeyA", kClsidA);
    bed.Track(L"", L"RvCpKeyB", kClsidB);
    bed.Track(L"", text.key, L"");

    const std::string local = ",\"csidlDir\":28";
    const HostRun raw = bed.Install(Params(RawAnsi(text.folder), "\"RvCpKeyA\"", kClsidA, local));
    ASSERT_EQ(raw.code, 0u) << raw.desc;
    EXPECT_TRUE(FileExists(first + L"\\Dovadi.dll"));
    EXPECT_EQ(RecordedInstallDir(), first);
    const HostRun escaped =
        bed.Install(Params(Escaped(text.folder), "\"RvCpKeyA\"", kClsidA, local));
    EXPECT_EQ(escaped.desc, "same folder");
    EXPECT_EQ(bed.Install(Params(RawCharacters(text.folder), "\"RvCpKeyA\"", kClsidA, local)).desc,
              "same folder");
    // So does a hand-written request to the host, which reads it as UTF-8
    // and refuses other bytes.
    const auto handWritten = [&](const std::string& subDir) {
        return bed.SendRequest("{\"tmpDir\":" + RawLiteral(WideToUtf8(InstallBed::Payload())) +
                               ",\"params\":" + Params(subDir, "\"RvCpKeyA\"", kClsidA, local) +
                               "}");
    };
    EXPECT_EQ(handWritten(RawLiteral(WideToUtf8(text.folder))).desc, "same folder");
    EXPECT_EQ(handWritten(RawAnsi(text.folder)).code, 2u);

    // An upgrade between two such folders carries a custom record and Task
    // files, one of them named outside the code page.
    const std::vector<std::wstring> tasks = {L"任务-Müller.dat", L"emoji-\U0001F600.dat"};
    ASSERT_TRUE(FolderExists(first + L"\\Task"));  // made by the install
    for (const std::wstring& name : tasks)
        ASSERT_TRUE(WriteFileBytes(first + L"\\Task\\" + name, "job"));
    ASSERT_TRUE(WritePrivateProfileStringW(L"custom", L"note", text.key.c_str(),
                                           UserConfig(first).c_str()));
    const HostRun upgrade =
        bed.Install(Params(Escaped(text.folder2), "\"RvCpKeyB\"", kClsidB, local));
    ASSERT_EQ(upgrade.code, 0u) << upgrade.desc;
    EXPECT_EQ(RecordedInstallDir(), second);
    EXPECT_EQ(IniText(UserConfig(second), L"custom", L"note"), text.key);
    for (const std::wstring& name : tasks)
        EXPECT_EQ(ReadFileBytes(second + L"\\Task\\" + name), "job");
    EXPECT_FALSE(FolderExists(first));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(L"RvCpKeyA")));

    // A character the code page cannot hold is refused, nothing created.
    const std::wstring foreign = L"RvCp " + text.foreign;
    const HostRun refused = bed.Install(Params(Escaped(foreign), "\"RvCpKeyA\"", kClsidA));
    EXPECT_EQ(refused.desc, "invalid subDir");
    EXPECT_FALSE(FolderExists(InstallBed::FolderIn(CSIDL_COMMON_APPDATA, foreign)));
    const HostRun module = bed.Install(
        Params("\"RvCpModule\"", "\"RvCpKeyA\"", kClsidA, ",\"ShellDllName\":" + Escaped(foreign)));
    EXPECT_EQ(module.desc, "copy shell");
    EXPECT_EQ(RecordedInstallDir(), second);

    // The failure text names the non-ASCII overlay key as the request did.
    ScopedEnvironment noKey(L"RV_TEST_SHELL_REGISTRATION", L"nokey");
    bed.Track(InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvCpNoKey"), L"", L"");
    const HostRun failed = bed.Install(Params("\"RvCpNoKey\"", Escaped(text.key), kClsidA));
    std::wstring failure;
    EXPECT_TRUE(Utf8ToWide(failed.desc, failure));
    EXPECT_EQ(failure, L"check reg, key:" + text.key + L", lastError:2");
}

// A user name the code page cannot hold: folders below the profile are
// refused, and the records in it are still written, read and used.
TEST(CodePageScenario, UserOutsideTheCodePage) {
    if (!IsCodePageRun(false))
        GTEST_SKIP() << "runs in the code-page prefixes under the other code page";
    InstallBed bed;
    const std::wstring one = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvCpOne");
    const std::wstring two = InstallBed::FolderIn(CSIDL_COMMON_APPDATA, L"RvCpTwo");
    bed.Track(one, L"RvCpKeyA", kClsidA);
    bed.Track(two, L"RvCpKeyB", kClsidB);

    const HostRun profile =
        bed.Install(Params("\"RvCpProfile\"", "\"RvCpKeyA\"", kClsidA, ",\"csidlDir\":28"));
    EXPECT_EQ(profile.desc, "invalid subDir");
    EXPECT_FALSE(FolderExists(InstallBed::FolderIn(kLocalAppData, L"RvCpProfile")));

    const HostRun first = bed.Install(Params("\"RvCpOne\"", "\"RvCpKeyA\"", kClsidA));
    ASSERT_EQ(first.code, 0u) << first.desc;
    EXPECT_EQ(RecordedInstallDir(), one);
    ASSERT_TRUE(WritePrivateProfileStringW(L"custom", L"note", L"kept", UserConfig(one).c_str()));
    const HostRun upgrade = bed.Install(Params("\"RvCpTwo\"", "\"RvCpKeyB\"", kClsidB));
    ASSERT_EQ(upgrade.code, 0u) << upgrade.desc;
    EXPECT_EQ(RecordedInstallDir(), two);
    EXPECT_EQ(IniText(UserConfig(two), L"custom", L"note"), L"kept");
    EXPECT_FALSE(FolderExists(one));
    EXPECT_FALSE(ReadKeyDefault(NativeView(), OverlayKeyPath(L"RvCpKeyA")));
    EXPECT_TRUE(ReadKeyDefault(NativeView(), OverlayKeyPath(L"RvCpKeyB")));
}
