// The state and steps of one install: one object per doInst call, created
// just before the install and destroyed right after it.
#pragma once

#include <string>

#include "installer/InstallRequest.h"

class CRvInstallerMain {
public:
    CRvInstallerMain() = default;

    // Runs one install and, unless the request is unusable, stores a new
    // result block into `result`. Returns 0, 10 or 11.
    int DoInstall(const char* request, char*& result);

    // Reads the envelope and the install parameters. False when the request
    // is unusable: nothing is then logged, stored or changed.
    bool ReadRequest(const char* request);
    bool ParseEnvelope(const std::string& text);

    // The text after "|INSTTOOLS:" in the result: the library's file version
    // and the request's update version.
    std::string BuildLogAppend() const;

    unsigned m_nVer = 1;
    std::string m_strTmpDir;
    std::string m_strInstallSrcid;
    std::string m_strRspEncode;
    bool m_bUpdate = false;
    InstallRequest m_request;
    std::wstring m_strInstalledDir;
    std::wstring m_strInstalledShellPath;
    std::string m_strInstalledExplorerKey;
    bool m_bNewFolder = false;

private:
    // The install body; every failure is thrown as CRvInstallException.
    void RunInstallSteps();
};
