#include "tests/support/CrashTestBed.h"

#include <cstdio>

namespace {

constexpr DWORD kProgramTimeoutMs = 60000;
constexpr DWORD kPollMs = 100;

}  // namespace

bool CrashTestBed::WriteConfig(const std::wstring& subFolder, const std::string& body) {
    const std::wstring conf = m_folder / L"Conf";
    const std::wstring folder = conf + L"\\" + subFolder;
    CreateDirectoryW(conf.c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    return WriteFileBytes(folder + L"\\config.ini", body);
}

bool CrashTestBed::WriteServerConfig(const std::string& body) {
    return WriteConfig(L"Server", body);
}

bool CrashTestBed::WriteUserConfig(const std::string& body) {
    return WriteConfig(L"User", body);
}

bool CrashTestBed::WriteReportingConfig(int crashReport,
                                        const std::string& statHost,
                                        const std::string& channel) {
    return WriteServerConfig("[config]\r\nCrashReport=" + std::to_string(crashReport) +
                             "\r\nStatHost=" + statHost + "\r\n") &&
           WriteUserConfig("[config]\r\nChannelID=" + channel + "\r\n");
}

bool CrashTestBed::AddProgram(const std::wstring& name) {
    return CopyFileW(BinFile(name).c_str(), (m_folder / name).c_str(), FALSE) != FALSE;
}

CrashTestBed::Run CrashTestBed::RunProgram(const std::wstring& name,
                                           const std::wstring& arguments) const {
    Run run;
    const std::wstring commandLine = L"\"" + (m_folder / name) + L"\" " + arguments;
    run.ended = RunAndWait(commandLine, kProgramTimeoutMs, &run.exitCode, &run.processId);
    return run;
}

std::vector<std::wstring> CrashTestBed::DumpFiles() const {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((m_folder / L"*.dmp").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

bool CrashTestBed::ReportCommandLineExists() const {
    return FileExists(m_folder / L"RvDumpReport.cmdline.txt");
}

std::string CrashTestBed::WaitForReportCommandLine(DWORD timeoutMs) const {
    const std::wstring record = m_folder / L"RvDumpReport.cmdline.txt";
    const std::wstring program = m_folder / L"RvDumpReport.exe";
    const DWORD start = GetTickCount();
    while (!FileExists(record) && GetTickCount() - start < timeoutMs)
        Sleep(kPollMs);
    if (!FileExists(record))
        return std::string();
    // The stand-in ends right after writing; once its file can be deleted
    // it has, and the scratch folder can go.
    while (FileExists(program) && !DeleteFileW(program.c_str()) &&
           GetTickCount() - start < timeoutMs)
        Sleep(kPollMs);
    return ReadFileBytes(record);
}

std::string LocalMinuteStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%04d%02d%02d%02d%02d", now.wYear, now.wMonth, now.wDay,
                  now.wHour, now.wMinute);
    return buffer;
}
