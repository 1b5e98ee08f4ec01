// An install folder for crash-handler tests, in a scratch folder: the
// server and user configuration files under "Conf", the stand-in
// crash-report program RvDumpReport.exe, and a program that crashes on
// purpose, run from there so that the folder is its install folder.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/TestEnvironment.h"

class CrashTestBed {
public:
    CrashTestBed() = default;
    CrashTestBed(const CrashTestBed&) = delete;
    CrashTestBed& operator=(const CrashTestBed&) = delete;

    const std::wstring& Folder() const { return m_folder.Path(); }

    // Writes Conf\Server\config.ini or Conf\User\config.ini with the given
    // body (lines of section "config" and its keys).
    bool WriteServerConfig(const std::string& body);
    bool WriteUserConfig(const std::string& body);
    // Both files for a crash report: "CrashReport", "StatHost" and the
    // channel in "ChannelID".
    bool WriteReportingConfig(int crashReport,
                              const std::string& statHost,
                              const std::string& channel);

    // Copies a built program into the folder.
    bool AddProgram(const std::wstring& name);
    bool AddReportProgram() { return AddProgram(L"RvDumpReport.exe"); }

    // Runs a program of the folder with arguments, up to a minute.
    struct Run {
        bool ended = false;
        DWORD exitCode = 0;
        DWORD processId = 0;
    };
    Run RunProgram(const std::wstring& name, const std::wstring& arguments) const;

    // Names of the minidump files (*.dmp) in the folder.
    std::vector<std::wstring> DumpFiles() const;

    // The command line the stand-in recorded, once it has appeared; the
    // stand-in has then ended too. Empty when it never came.
    std::string WaitForReportCommandLine(DWORD timeoutMs) const;
    bool ReportCommandLineExists() const;

private:
    bool WriteConfig(const std::wstring& subFolder, const std::string& body);

    ScratchFolder m_folder;
};

// The local time formatted like a dump name's prefix: "%04d%02d%02d%02d%02d".
std::string LocalMinuteStamp();
