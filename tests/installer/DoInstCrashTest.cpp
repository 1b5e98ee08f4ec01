// A real crash inside doInst: the caller passes a request pointer that does
// not point at readable memory. The guard of the entry reports the crash
// through the crash handler and returns -1, and the host carries on.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/SystemInfo.h"
#include "installer/InstallResult.h"
#include "tests/support/CrashTestBed.h"
#include "tests/support/LocalHttpServer.h"

namespace {

using DoInstFunction = int(__cdecl*)(const char* request, char*& result);

constexpr DWORD kWaitMs = 20000;
const char* const kUnreadableRequest = reinterpret_cast<const char*>(0x10);

// "_" channel "_" version "_" file name "_" MAC ".dmp" of the library.
std::string DumpSuffix() {
    return "_1006_" RV_PRODUCT_VERSION "_RvInstaller.dll_" + GetMacAddressString() + ".dmp";
}

// A copy of the library in an install folder of its own, loaded into this
// process, so that the install folder its crash handler finds is the bed.
class LoadedInstaller {
public:
    explicit LoadedInstaller(const std::wstring& path) : m_module(LoadLibraryW(path.c_str())) {
        if (m_module)
            m_doInst = reinterpret_cast<DoInstFunction>(
                reinterpret_cast<void*>(GetProcAddress(m_module, "doInst")));
    }
    ~LoadedInstaller() {
        if (m_module)
            FreeLibrary(m_module);
    }
    LoadedInstaller(const LoadedInstaller&) = delete;
    LoadedInstaller& operator=(const LoadedInstaller&) = delete;

    DoInstFunction doInst() const { return m_doInst; }

private:
    HMODULE m_module;
    DoInstFunction m_doInst = nullptr;
};

}  // namespace

TEST(DoInstCrash, CrashIsReportedAndTheCallReturnsMinusOne) {
    LocalHttpServer server;
    ASSERT_TRUE(server.IsListening());
    CrashTestBed bed;
    ASSERT_TRUE(bed.WriteReportingConfig(1, server.HostAndPort(), "1006"));
    ASSERT_TRUE(bed.AddReportProgram());
    ASSERT_TRUE(bed.AddProgram(L"RvInstaller.dll"));

    LoadedInstaller installer(bed.Folder() + L"\\RvInstaller.dll");
    ASSERT_NE(installer.doInst(), nullptr);

    char sentinel = 0;
    char* result = &sentinel;
    EXPECT_EQ(installer.doInst()(kUnreadableRequest, result), kInstallCrashed);
    EXPECT_EQ(result, &sentinel);

    // The statistics host got the report with the exact path and query,
    // which names the dump the library would write.
    const std::vector<std::string> requests = server.WaitForRequests(1, kWaitMs);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], "/g.real?aid=text_ad_2689&text=S:RvInstaller|VER:" RV_PRODUCT_VERSION
                           "|CHID:1006|MAC:" +
                               GetMacAddressString() +
                               "|ACT:ACT_CRASHREPORT|MOD:RvInstaller|FEXT:" + DumpSuffix());
    // Wine's descriptors name the Wine user as every file's owner, so the
    // install folder never counts as changeable only by administrators:
    // the library writes no dump there and starts no report program.
    EXPECT_TRUE(bed.DumpFiles().empty());
    EXPECT_FALSE(bed.ReportCommandLineExists());

    // The host goes on: the library still answers requests.
    result = nullptr;
    ASSERT_EQ(installer.doInst()("{}", result), kInstallFailed);
    ASSERT_NE(result, nullptr);
    delete[] result;

    // The configuration is read at the time of the crash: without a
    // statistics host a second crash sends nothing. The request is made
    // before the call returns.
    ASSERT_TRUE(bed.WriteReportingConfig(1, "", "1006"));
    result = &sentinel;
    EXPECT_EQ(installer.doInst()(kUnreadableRequest, result), kInstallCrashed);
    EXPECT_EQ(result, &sentinel);
    EXPECT_EQ(server.Connections(), 1);
}

// Reading a request of 8 MB needs a copy of it, which fails when memory is
// short: the C++ exception must not leave the export, which would end the
// host. The call returns -1 without a result, and the next call works.
TEST(DoInstCrash, CppExceptionInsideTheCallReturnsMinusOne) {
    LoadedInstaller installer(BinFile(L"RvInstaller.dll"));
    ASSERT_NE(installer.doInst(), nullptr);
    const std::string request = "{\"pad\":\"" + std::string(8 << 20, 'x') + "\"}";
    char sentinel = 0;
    char* result = &sentinel;
    // The free address space is reserved in pieces down to 1 MB meanwhile.
    std::vector<void*> reserved;
    reserved.reserve(16384);
    for (SIZE_T size = SIZE_T(1) << 30; size >= (SIZE_T(1) << 20); size /= 2) {
        while (void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS))
            reserved.push_back(block);
    }
    const int code = installer.doInst()(request.c_str(), result);
    for (void* block : reserved)
        VirtualFree(block, 0, MEM_RELEASE);
    EXPECT_EQ(code, kInstallCrashed);
    EXPECT_EQ(result, &sentinel);
    result = nullptr;
    ASSERT_EQ(installer.doInst()("{}", result), kInstallFailed);
    delete[] result;
}
