// The doInst export seen from a host: the export table, unusable requests,
// the exact result block, the version text and the trace lines.
#include <windows.h>

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <regex>
#include <string>

#include "installer/InstallResult.h"
#include "installer/RvInstallerMain.h"
#include "tests/installer/FileTestSupport.h"
#include "tests/support/Base64Encode.h"
#include "tests/support/DebugOutputCapture.h"
#include "tests/support/TestEnvironment.h"

namespace {

using DoInstFunction = int(__cdecl*)(const char* request, char*& result);

std::string Envelope(const std::string& parameters) {
    return "{\"rspEncode\":\"" + EncodeBase64(parameters) + "\"}";
}

std::string ExpectedDocument(int code, const std::string& desc, const std::string& logAppend) {
    return "{\n   \"nErrorCode\" : " + std::to_string(code) + ",\n   \"strErrorDesc\" : \"" + desc +
           "\",\n   \"strLogAppend\" : \"" + logAppend + "\"\n}";
}

// log4cplus writes its files in text mode.
std::string WithoutCarriageReturns(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

class DoInstTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_module = LoadLibraryW(BinFile(L"RvInstaller.dll").c_str());
        ASSERT_NE(s_module, nullptr) << GetLastError();
        s_doInst = reinterpret_cast<DoInstFunction>(
            reinterpret_cast<void*>(GetProcAddress(s_module, "doInst")));
        ASSERT_NE(s_doInst, nullptr);
    }
    static void TearDownTestSuite() {
        if (s_module)
            FreeLibrary(s_module);
    }

    static HMODULE s_module;
    static DoInstFunction s_doInst;
};

HMODULE DoInstTest::s_module = nullptr;
DoInstFunction DoInstTest::s_doInst = nullptr;

TEST_F(DoInstTest, ExportsOnlyDoInstUnderItsPlainName) {
    auto base = reinterpret_cast<const BYTE*>(s_module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    ASSERT_EQ(exports->NumberOfFunctions, 1u);
    ASSERT_EQ(exports->NumberOfNames, 1u);
    auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    EXPECT_STREQ(reinterpret_cast<const char*>(base + names[0]), "doInst");
}

TEST_F(DoInstTest, UnusableRequestsReturn11AndLeaveTheResultPointerAlone) {
    const char* const kRequests[] = {
        "", "not json", "{\"ver\":", "[1, 2]", "\"text\"", "42", "true",
    };
    char sentinel = 0;
    for (const char* request : kRequests) {
        char* result = &sentinel;
        EXPECT_EQ(s_doInst(request, result), kRequestUnusable) << request;
        EXPECT_EQ(result, &sentinel) << request;
    }
    char* result = &sentinel;
    EXPECT_EQ(s_doInst(nullptr, result), kRequestUnusable);
    EXPECT_EQ(result, &sentinel);
}

TEST_F(DoInstTest, ParameterValuesWithoutTextFormMakeTheRequestUnusable) {
    const std::string kParameters[] = {
        R"({"zipFile":{"url":5}})", R"({"zipFile":{"md5":[1]}})",  R"({"zipFile":{"url":{"a":1}}})",
        R"({"PFilter":["a", 2]})",  R"({"PFilter":[["nested"]]})", R"({"PFilter":[{}]})",
    };
    char sentinel = 0;
    for (const std::string& parameters : kParameters) {
        char* result = &sentinel;
        EXPECT_EQ(s_doInst(Envelope(parameters).c_str(), result), kRequestUnusable) << parameters;
        EXPECT_EQ(result, &sentinel) << parameters;
    }
}

// With every default the modules are looked for under their bare names,
// which are not there: the install stops at the first check.
TEST_F(DoInstTest, NullEnvelopeRunsWithDefaultsAndReturnsTheExactBlock) {
    char* result = nullptr;
    ASSERT_EQ(s_doInst("null", result), kInstallFailed);
    ASSERT_NE(result, nullptr);
    const std::string text(result);
    EXPECT_EQ(text, ExpectedDocument(10, "Shell pe error",
                                     "|INSTTOOLS:" RV_PRODUCT_VERSION "|SV:1.0.6.9000"));
    // The block holds the styled document without its final line feed plus
    // a NUL: exactly as many bytes as the styled document has.
    EXPECT_EQ(_msize(result), text.size() + 1);
    delete[] result;
}

TEST_F(DoInstTest, ResultCarriesTheRequestedUpdateVersion) {
    char* result = nullptr;
    ASSERT_EQ(s_doInst(Envelope(R"({"UpdateVersion":"2.0.1.7"})").c_str(), result), 10);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(
        std::string(result),
        ExpectedDocument(10, "Shell pe error", "|INSTTOOLS:" RV_PRODUCT_VERSION "|SV:2.0.1.7"));
    delete[] result;
}

TEST_F(DoInstTest, TracesStartAndEndAsWholeLines) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());
    char* result = nullptr;
    ASSERT_EQ(s_doInst("{}", result), kInstallFailed);
    delete[] result;
    ASSERT_TRUE(capture.Sync());

    const std::string thread = std::to_string(GetCurrentThreadId());
    const std::regex start("\\(\\d+\\)#Pu#\\[dllmain:19\\]\\(" + thread +
                           "\\)- \\*INFO\\* installer start\n");
    const std::regex end("\\(\\d+\\)#Pu#\\[dllmain:25\\]\\(" + thread +
                         "\\)- \\*INFO\\* installer end\n");
    std::vector<std::string> texts = capture.Texts(GetCurrentProcessId());
    int startAt = -1, endAt = -1;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (std::regex_match(texts[i], start))
            startAt = static_cast<int>(i);
        if (std::regex_match(texts[i], end))
            endAt = static_cast<int>(i);
    }
    ASSERT_GE(startAt, 0);
    ASSERT_GT(endAt, startAt);
}

TEST_F(DoInstTest, EachCallLogsThroughTheCurrentInstallLcfg) {
    const std::wstring logFolder = LocalDataFolder() + L"\\log_cfg";
    const std::wstring config = logFolder + L"\\INSTALL.lcfg";
    const std::wstring first = logFolder + L"\\first.log", second = logFolder + L"\\second.log";
    ProfileFilesGuard guard({LocalDataFolder(), logFolder}, {config, first, second});
    auto writeConfig = [](const std::wstring& log) {
        return WriteFileAppenderConfig(log, "%p|%b|%m%n");
    };

    // Without a configuration the call completes and logs nowhere.
    DeleteFileW(config.c_str());
    char* result = nullptr;
    ASSERT_EQ(s_doInst("{}", result), kInstallFailed);
    delete[] result;

    ASSERT_TRUE(writeConfig(first));
    ASSERT_EQ(s_doInst("{}", result), kInstallFailed);
    const std::string document(result);
    delete[] result;
    ASSERT_TRUE(writeConfig(second));
    ASSERT_EQ(s_doInst("[]", result), kRequestUnusable);

    EXPECT_EQ(WithoutCarriageReturns(ReadFileBytes(first)),
              "INFO|dllmain|installer start\n"
              "DEBUG|RvInstallerMain|DoCheckValidInstall\n"
              "DEBUG|RvInstallerMain|InstallRet ret = 10 err_desc = Shell pe error\n"
              "DEBUG|RvInstallerMain|strRetData = " +
                  document +
                  "\n\n"
                  "INFO|dllmain|installer end\n");
    // The second call read the changed file; an unusable request logs only
    // the frame.
    EXPECT_EQ(WithoutCarriageReturns(ReadFileBytes(second)),
              "INFO|dllmain|installer start\nINFO|dllmain|installer end\n");
}

TEST(InstallerMainTest, ModuleWithoutVersionResourceGivesEmptyToolVersion) {
    // Linked into the test program, the installer code reads the version of
    // the test program's file, which has no version resource.
    CRvInstallerMain installer;
    char* result = nullptr;
    ASSERT_EQ(installer.DoInstall("{}", result), 10);
    ASSERT_NE(result, nullptr);
    EXPECT_EQ(std::string(result),
              ExpectedDocument(10, "Shell pe error", "|INSTTOOLS:|SV:1.0.6.9000"));
    delete[] result;
}

TEST(InstHostTest, HostReportsTheReturnCodeAsItsExitCode) {
    const std::wstring host = L"\"" + BinFile(L"RvInstHost.exe") + L"\"";
    DWORD exitCode = 99;
    ASSERT_TRUE(RunAndWait(host + L" --request null", 30000, &exitCode));
    EXPECT_EQ(exitCode, 10u);
    ASSERT_TRUE(RunAndWait(host + L" --request [1]", 30000, &exitCode));
    EXPECT_EQ(exitCode, 11u);
}

}  // namespace
