#include "base/StandardPaths.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <map>
#include <sstream>

#include "tests/support/TestEnvironment.h"

namespace {

#ifdef RV_WIDE_TEXT
const wchar_t kProbeProgram[] = L"RvPathProbe_w.exe";
#else
const wchar_t kProbeProgram[] = L"RvPathProbe_a.exe";
#endif

struct Resolved {
    bool result = false;
    std::wstring path;
};
using Resolutions = std::map<int, Resolved>;

std::wstring FromUtf8(const std::string& text) {
    if (text.empty())
        return {};
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], size);
    return out;
}

// Copies the probe program to `program` and runs it there; its answers for
// every kind, read from the file it writes into `outputFolder`.
Resolutions RunProbe(const std::wstring& program, const std::wstring& outputFolder) {
    Resolutions resolutions;
    EXPECT_TRUE(CopyFileW(BinFile(kProbeProgram).c_str(), program.c_str(), FALSE));
    const std::wstring output = outputFolder + L"\\probe-output.txt";
    DeleteFileW(output.c_str());
    DWORD exitCode = 1;
    EXPECT_TRUE(RunAndWait(L"\"" + program + L"\" \"" + output + L"\"", 60000, &exitCode));
    EXPECT_EQ(0u, exitCode);
    std::wistringstream lines(FromUtf8(ReadFileBytes(output)));
    std::wstring line;
    while (std::getline(lines, line)) {
        const size_t first = line.find(L'\t');
        const size_t second = line.find(L'\t', first + 1);
        if (first == std::wstring::npos || second == std::wstring::npos)
            continue;
        Resolved& resolved = resolutions[std::stoi(line.substr(0, first))];
        resolved.result = line.substr(first + 1, second - first - 1) == L"1";
        resolved.path = line.substr(second + 1);
    }
    EXPECT_EQ(18u, resolutions.size());
    return resolutions;
}

std::wstring SpecialFolder(int csidl) {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// The local data folder as the product uses it. Keeps config.dat and the
// folders the resolver creates as they were before the test.
class LocalDataGuard {
public:
    LocalDataGuard()
        : m_folder(SpecialFolder(CSIDL_LOCAL_APPDATA) + L"\\TDXdata"),
          m_config(m_folder + L"\\config.dat"),
          m_common(m_folder + L"\\Common"),
          m_hadFolder(FolderExists(m_folder)),
          m_hadCommon(FolderExists(m_common)),
          m_hadConfig(FileExists(m_config)),
          m_savedConfig(m_hadConfig ? ReadFileBytes(m_config) : std::string()) {}

    ~LocalDataGuard() {
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_config.c_str());
        if (m_hadConfig)
            WriteFileBytes(m_config, m_savedConfig);
        else
            DeleteFileW(m_config.c_str());
        if (!m_hadCommon)
            RemoveDirectoryW(m_common.c_str());
        if (!m_hadFolder)
            RemoveDirectoryW(m_folder.c_str());
    }

    const std::wstring& Folder() const { return m_folder; }

    // Records `dir` as the last install folder in config.dat; empty removes
    // the record.
    void RecordInstallDir(const std::wstring& dir) {
        CreateDirectoryW(m_folder.c_str(), nullptr);
        WritePrivateProfileStringW(L"Config", L"installDir", dir.empty() ? nullptr : dir.c_str(),
                                   m_config.c_str());
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, m_config.c_str());
    }

private:
    std::wstring m_folder, m_config, m_common;
    bool m_hadFolder, m_hadCommon, m_hadConfig;
    std::string m_savedConfig;
};

void ExpectResolved(const Resolutions& resolutions,
                    int type,
                    bool result,
                    const std::wstring& path) {
    auto found = resolutions.find(type);
    ASSERT_NE(resolutions.end(), found) << "kind " << type;
    EXPECT_EQ(result, found->second.result) << "kind " << type;
    EXPECT_EQ(path, found->second.path) << "kind " << type;
}

}  // namespace

TEST(StandardPaths, ResolveEveryKindBelowTheFolderHoldingConf) {
    ScratchFolder scratch;
    LocalDataGuard data;
    data.RecordInstallDir(L"");
    const std::wstring root = scratch / L"Inst Dir";
    for (const wchar_t* folder :
         {L"", L"\\Conf", L"\\Conf\\User", L"\\Conf\\Server", L"\\task", L"\\bin", L"\\bin\\sub"})
        ASSERT_TRUE(CreateDirectoryW((root + folder).c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(root + L"\\Conf\\User\\config.ini",
                               "[CModuleUpdate]\r\nmodulename=core.dll\r\n"
                               "[config]\r\nShellPath=D:\\Shell Path\\shell.dll\r\n"));
    ASSERT_TRUE(WriteFileBytes(root + L"\\Conf\\Server\\config.ini", ""));
    ASSERT_TRUE(WriteFileBytes(root + L"\\Conf\\Server\\tasklist.dat", ""));

    // The module's grandparent holds "Conf"; cfg.db is missing.
    const std::wstring program = root + L"\\bin\\sub\\probe.exe";
    const Resolutions deep = RunProbe(program, scratch.Path());
    const std::wstring local = data.Folder();
    ExpectResolved(deep, -1, false, L"");
    ExpectResolved(deep, kPathInstallDir, true, root);
    ExpectResolved(deep, kPathConfDir, true, root + L"\\Conf");
    ExpectResolved(deep, kPathUserConfDir, true, root + L"\\Conf\\User");
    ExpectResolved(deep, kPathUserConfigIni, true, root + L"\\Conf\\User\\config.ini");
    ExpectResolved(deep, kPathUserCfgDb, false, root + L"\\Conf\\User\\cfg.db");
    ExpectResolved(deep, kPathServerConfDir, true, root + L"\\Conf\\Server");
    ExpectResolved(deep, kPathServerConfigIni, true, root + L"\\Conf\\Server\\config.ini");
    ExpectResolved(deep, kPathServerTaskList, true, root + L"\\Conf\\Server\\tasklist.dat");
    ExpectResolved(deep, kPathDataConfig, true, local + L"\\config.dat");
    ExpectResolved(deep, kPathTaskDir, true, root + L"\\task");
    ExpectResolved(deep, kPathLocalDataDir, true, local);
    ExpectResolved(deep, kPathLogConfigDir, true, local + L"\\log_cfg");
    ExpectResolved(deep, kPathRunningModule, true, program);
    ExpectResolved(deep, kPathCoreModule, true, root + L"\\core.dll");
    ExpectResolved(deep, kPathShellModule, true, L"D:\\Shell Path\\shell.dll");
    ExpectResolved(deep, kPathCommonData, true, local + L"\\Common\\CommonData.dat");
    ExpectResolved(deep, 16, false, L"");
    // Resolving the data folder kinds creates the folders, not the files.
    EXPECT_TRUE(FolderExists(local + L"\\Common"));
    EXPECT_FALSE(FolderExists(local + L"\\log_cfg"));

    // A module whose own folder holds "Conf".
    const Resolutions beside = RunProbe(root + L"\\probe.exe", scratch.Path());
    ExpectResolved(beside, kPathInstallDir, true, root);
    ExpectResolved(beside, kPathUserCfgDb, false, root + L"\\Conf\\User\\cfg.db");
}

TEST(StandardPaths, FallBackToTheRecordedInstallFolder) {
    ScratchFolder scratch;
    LocalDataGuard data;
    const std::wstring recorded = scratch / L"Recorded";
    ASSERT_TRUE(CreateDirectoryW(recorded.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((recorded + L"\\Conf").c_str(), nullptr));
    const std::wstring lone = scratch / L"lone";
    ASSERT_TRUE(CreateDirectoryW(lone.c_str(), nullptr));
    const std::wstring program = lone + L"\\probe.exe";

    data.RecordInstallDir(recorded);
    Resolutions found = RunProbe(program, scratch.Path());
    ExpectResolved(found, kPathInstallDir, true, recorded);
    ExpectResolved(found, kPathConfDir, true, recorded + L"\\Conf");
    ExpectResolved(found, kPathUserConfDir, false, recorded + L"\\Conf\\User");
    ExpectResolved(found, kPathUserConfigIni, false, recorded + L"\\Conf\\User\\config.ini");

    // A recorded folder that no longer exists: the configuration kinds keep
    // the install folder's path without "Conf" and all fail.
    const std::wstring gone = scratch / L"Gone";
    data.RecordInstallDir(gone);
    Resolutions missing = RunProbe(program, scratch.Path());
    ExpectResolved(missing, kPathInstallDir, false, gone);
    ExpectResolved(missing, kPathConfDir, false, gone);
    ExpectResolved(missing, kPathServerConfigIni, false, gone + L"\\config.ini");

    // Nothing recorded: an empty install folder and bare relative names.
    data.RecordInstallDir(L"");
    Resolutions none = RunProbe(program, scratch.Path());
    ExpectResolved(none, kPathInstallDir, false, L"");
    ExpectResolved(none, kPathUserConfigIni, false, L"config.ini");
    ExpectResolved(none, kPathUserCfgDb, false, L"cfg.db");
    ExpectResolved(none, kPathServerTaskList, false, L"tasklist.dat");
    ExpectResolved(none, kPathTaskDir, false, L"task");
    ExpectResolved(none, kPathCoreModule, true, L"");
    ExpectResolved(none, kPathShellModule, true, L"");
    ExpectResolved(none, kPathDataConfig, true, data.Folder() + L"\\config.dat");
}

TEST(FileVersion, ReadsTheFourPartFileVersion) {
    RvString version = RV_T("unchanged");
    EXPECT_TRUE(GetFileVersionString(BinFile(L"RvTestVersion.dll"), version));
    EXPECT_EQ(RvString(RV_T("3.1.0.12")), version);

    // Failures leave the output alone: a missing file, a file without a
    // version resource, and a resource too large for the 8192-byte buffer.
    version = RV_T("unchanged");
    EXPECT_FALSE(GetFileVersionString(BinFile(L"RvNoSuchFile.dll"), version));
    EXPECT_FALSE(GetFileVersionString(BinFile(L"RvTestSleeper.exe"), version));
    DWORD ignored = 0;
    const std::wstring big = BinFile(L"RvTestBigVersion.dll");
    ASSERT_GT(GetFileVersionInfoSizeW(big.c_str(), &ignored), 8191u);
    EXPECT_FALSE(GetFileVersionString(big, version));
    EXPECT_EQ(RvString(RV_T("unchanged")), version);
}
