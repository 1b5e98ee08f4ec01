// Runs the real RvDllLauncher.exe and checks its exit code, the rundll32
// process it starts and its trace lines. Each launcher start costs about a
// second under Wine, so the cases share one set of files.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/DebugOutputCapture.h"
#include "tests/support/TestEnvironment.h"

namespace {

constexpr DWORD kLauncherTimeoutMs = 60000;
constexpr DWORD kRecordTimeoutMs = 30000;

struct LauncherRun {
    bool ended = false;
    DWORD exitCode = 0;
    DWORD processId = 0;
};

DWORD LowWord(DWORD value) {
    return value & 0xFFFF;
}
DWORD HighWord(DWORD value) {
    return value >> 16;
}

// What RundllRecorder.dll wrote about the call it received.
struct RundllRecord {
    DWORD processId = 0;
    std::string hostPath;
    std::string parameters;
};

// The system folder's rundll32.exe as the started program names itself:
// under WoW64 the 32-bit launcher's system folder leads to the 32-bit one.
std::string SystemRundll() {
    wchar_t system[MAX_PATH] = {};
    RunsUnderWow64() ? GetSystemWow64DirectoryW(system, MAX_PATH)
                     : GetSystemDirectoryW(system, MAX_PATH);
    return Narrow(system) + "\\rundll32.exe";
}

class LauncherRunTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_scratch = new ScratchFolder();
        // A folder with a space: the library path must reach rundll32.exe
        // quoted.
        const std::wstring libraryFolder = *s_scratch / L"lib dir";
        CreateDirectoryW(libraryFolder.c_str(), nullptr);
        s_library = libraryFolder + L"\\RundllRecorder.dll";
        CopyFileW(BinFile(L"RundllRecorder.dll").c_str(), s_library.c_str(), FALSE);
        s_textFile = *s_scratch / L"notes.txt";
        WriteFileBytes(s_textFile, "plain text, not a program image\r\n");
        s_emptyFile = *s_scratch / L"empty.dll";
        WriteFileBytes(s_emptyFile, "");
        // A copy of the launcher with a rundll32.exe beside it, and another
        // rundll32.exe in a folder to start it in: both the crash-report
        // stand-in, which leaves its command line next to itself.
        s_copyFolder = new ScratchFolder();
        s_currentFolder = new ScratchFolder();
        CopyFileW(BinFile(L"RvDllLauncher.exe").c_str(),
                  (*s_copyFolder / L"RvDllLauncher.exe").c_str(), FALSE);
        for (const ScratchFolder* folder : {s_copyFolder, s_currentFolder})
            CopyFileW(BinFile(L"RvDumpReport.exe").c_str(), (*folder / L"rundll32.exe").c_str(),
                      FALSE);
    }

    static void TearDownTestSuite() {
        for (ScratchFolder** folder : {&s_scratch, &s_copyFolder, &s_currentFolder}) {
            delete *folder;
            *folder = nullptr;
        }
    }

    void SetUp() override {
        ASSERT_TRUE(FileExists(s_library));
        DeleteFileW(RecordPath().c_str());
    }

    static std::wstring RecordPath() { return s_library + L".txt"; }

    static LauncherRun Run(const std::wstring& arguments,
                           const std::wstring& program = BinFile(L"RvDllLauncher.exe"),
                           const wchar_t* currentFolder = nullptr) {
        LauncherRun run;
        run.ended = RunAndWait(L"\"" + program + L"\" " + arguments, kLauncherTimeoutMs,
                               &run.exitCode, &run.processId, currentFolder);
        if (!run.ended && run.processId != 0)
            EndProcess(run.processId);
        return run;
    }

    static void EndProcess(DWORD processId) {
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        if (process) {
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 10000);
            CloseHandle(process);
        }
    }

    // rundll32.exe runs on after the launcher has ended: its record appears
    // some time later.
    static bool WaitForRecord(RundllRecord* record) {
        const DWORD start = GetTickCount();
        while (!FileExists(RecordPath())) {
            if (GetTickCount() - start > kRecordTimeoutMs)
                return false;
            Sleep(50);
        }
        const std::string text = ReadFileBytes(RecordPath());
        const size_t firstTab = text.find('\t');
        const size_t secondTab = text.find('\t', firstTab + 1);
        if (firstTab == std::string::npos || secondTab == std::string::npos || text.back() != '\n')
            return false;
        record->processId = std::stoul(text.substr(0, firstTab));
        record->hostPath = text.substr(firstTab + 1, secondTab - firstTab - 1);
        record->parameters = text.substr(secondTab + 1, text.size() - secondTab - 2);
        return true;
    }

    // The rundll32 process still holds the library; it has to be gone before
    // the scratch folder can be removed.
    static void WaitForProcessEnd(DWORD processId) {
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
        if (process) {
            EXPECT_EQ(WaitForSingleObject(process, 15000), WAIT_OBJECT_0);
            CloseHandle(process);
        }
    }

    static std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

    static ScratchFolder* s_scratch;
    static std::wstring s_library;
    static std::wstring s_textFile;
    static std::wstring s_emptyFile;
    static ScratchFolder* s_copyFolder;
    static ScratchFolder* s_currentFolder;
};

ScratchFolder* LauncherRunTest::s_scratch = nullptr;
std::wstring LauncherRunTest::s_library;
std::wstring LauncherRunTest::s_textFile;
std::wstring LauncherRunTest::s_emptyFile;
ScratchFolder* LauncherRunTest::s_copyFolder = nullptr;
ScratchFolder* LauncherRunTest::s_currentFolder = nullptr;

TEST_F(LauncherRunTest, RefusedCommandLinesEndWithTheirResultCode) {
    const std::wstring library = L" -dllPath:" + Quoted(s_library);
    struct Case {
        const char* what;
        std::wstring arguments;
        DWORD lowWord;
        bool checkHighWord;
        DWORD highWord;
    };
    const std::vector<Case> cases = {
        {"no switch at all", L"nothing here", 1, true, 0},
        {"unknown loadtype", L"-loadtype:other" + library + L" -expFunc:RecordCall", 2, true, 0},
        {"loadtype values are case-sensitive",
         L"-loadtype:RUNDLL" + library + L" -expFunc:RecordCall", 2, true, 0},
        {"loaddll needs nothing else", L"-loadtype:loaddll", 0, true, 0},
        {"rundll without dllPath", L"-loadtype:rundll -expFunc:RecordCall", 1, false, 0},
        {"rundll without expFunc", L"/loadtype:rundll" + library, 1, false, 0},
        {"library that does not exist",
         L"-loadtype:rundll -dllPath:" + Quoted(*s_scratch / L"absent.dll") +
             L" -expFunc:RecordCall",
         5, true, ERROR_FILE_NOT_FOUND},
        // The key is found whatever its case.
        {"text file, LOADTYPE in capitals",
         L"-LOADTYPE:rundll -dllPath:" + Quoted(s_textFile) + L" -expFunc:RecordCall", 5, false, 0},
        // The error of the failed mapping call reaches the high word.
        {"empty file",
         L"-loadtype:rundll -dllPath:" + Quoted(s_emptyFile) + L" -expFunc:RecordCall", 5, true,
         ERROR_FILE_INVALID},
        // The error of the failed lookup survives the unloading.
        {"export that does not exist", L"-loadtype:rundll" + library + L" -expFunc:NoSuchExport", 5,
         true, ERROR_PROC_NOT_FOUND},
        // An empty name is looked up like any other and carries the error
        // of the failed lookup.
        {"empty export name", L"-loadtype:rundll" + library + L" -expFunc:", 5, true,
         ERROR_PROC_NOT_FOUND},
        // Refused rather than cut to something else.
        {"command line too long for rundll32",
         L"-loadtype:rundll" + library + L" -expFunc:RecordCall -dllParam:" +
             std::wstring(2100, L'p'),
         6, true, ERROR_FILENAME_EXCED_RANGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const LauncherRun run = Run(c.arguments);
        ASSERT_TRUE(run.ended);
        EXPECT_EQ(LowWord(run.exitCode), c.lowWord);
        if (c.checkHighWord) {
            EXPECT_EQ(HighWord(run.exitCode), c.highWord);
        }
    }
    // None of them started the export.
    EXPECT_FALSE(FileExists(RecordPath()));
}

TEST_F(LauncherRunTest, RundllRunsTheExportWithTheParameterTextAndTracesInOrder) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());

    // Spaces, ":", "-" and "/" inside the quoted value reach the export as
    // they are.
    const std::string parameters = "alpha  beta -x:1 /y,z";
    const LauncherRun run = Run(L"-loadtype:rundll -dllPath:" + Quoted(s_library) +
                                L" -expFunc:RecordCall -dllParam:" + Quoted(Widen(parameters)));
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);

    RundllRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.parameters, parameters);
    EXPECT_STRCASEEQ(record.hostPath.c_str(), SystemRundll().c_str());
    EXPECT_NE(record.processId, run.processId);
    WaitForProcessEnd(record.processId);

    // The launcher's own trace lines: the crash handler's, then start and end.
    // Its last line may still be on its way to the capture when the process
    // has ended; the capture's own marker comes after it.
    ASSERT_TRUE(capture.Sync());
    std::vector<std::string> lines;
    for (const std::string& text : capture.Texts(run.processId))
        if (text.find(")#Pu#[") != std::string::npos)
            lines.push_back(text);
    const std::regex init(
        R"(\(\d+\)#Pu#\[RvExceptHandler:94\]\(\d+\)- \*INFO\* CRvExceptHandler::Init\n)");
    const std::regex start(R"(\(\d+\)#Pu#\[RvDllLauncher:26\]\(\d+\)- \*INFO\* launcher start\n)");
    const std::regex end(R"(\(\d+\)#Pu#\[RvDllLauncher:32\]\(\d+\)- \*INFO\* launcher end\n)");
    std::vector<int> order;
    for (const std::string& line : lines) {
        if (std::regex_match(line, init))
            order.push_back(0);
        else if (std::regex_match(line, start))
            order.push_back(1);
        else if (std::regex_match(line, end))
            order.push_back(2);
    }
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2})) << testing::PrintToString(lines);
}

TEST_F(LauncherRunTest, RundllWithoutParameterTextLeavesTheExportRunning) {
    // Whatever rundll32.exe lies beside the launcher or in the current
    // folder, the system folder's runs.
    const LauncherRun run =
        Run(L"-loadtype:rundll -dllPath:" + Quoted(s_library) + L" -expFunc:RecordThenLinger",
            *s_copyFolder / L"RvDllLauncher.exe", s_currentFolder->Path().c_str());
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);

    RundllRecord record;
    ASSERT_TRUE(WaitForRecord(&record));
    EXPECT_EQ(record.parameters, "");
    EXPECT_STRCASEEQ(record.hostPath.c_str(), SystemRundll().c_str());
    for (const ScratchFolder* folder : {s_copyFolder, s_currentFolder})
        EXPECT_FALSE(FileExists(*folder / L"RvDumpReport.cmdline.txt"));

    // The export lingers for half a minute; the launcher has neither waited
    // for it nor ended it.
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, record.processId);
    ASSERT_NE(process, nullptr);
    EXPECT_EQ(WaitForSingleObject(process, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 10000);
    CloseHandle(process);
}

TEST_F(LauncherRunTest, CrashIsReportedAndEndsTheProcessWithZero) {
    DebugOutputCapture capture;
    ASSERT_TRUE(capture.IsActive());

    // Without the crash this command line would end with 2.
    const LauncherRun run = Run(L"-loadtype:other", BinFile(L"RvDllLauncherCrashTest.exe"));
    ASSERT_TRUE(run.ended);
    EXPECT_EQ(run.exitCode, 0u);

    bool started = false, filtered = false, ended = false;
    ASSERT_TRUE(capture.Sync());
    for (const std::string& text : capture.Texts(run.processId)) {
        started = started || text.find("launcher start") != std::string::npos;
        filtered = filtered || text.find("RV_ExceptFilter") != std::string::npos;
        ended = ended || text.find("launcher end") != std::string::npos;
    }
    EXPECT_TRUE(started);
    EXPECT_TRUE(filtered);
    EXPECT_FALSE(ended);
}

}  // namespace
