#include "installer/RvInstallerMain.h"

#include "base/StandardPaths.h"
#include "base/TextConvert.h"
#include "base/tree/ProtectedFolders.h"
#include "installer/InstallerLogSites.h"
#include "installer/InstallerModule.h"
#include "installer/InstallResult.h"
#include "installer/request/RequestEnvelope.h"
#include "installer/request/RequestReader.h"
#include "installer/RvInstallException.h"

namespace {

// Request text escaped as \u sequences becomes text of the ANSI code page,
// as the rest of the request is.
bool EncodeAnsi(const std::u16string& text, std::string& ansi) {
    return WideToAnsiExact(std::wstring(text.begin(), text.end()), ansi);
}

bool IsAnsiLeadByte(unsigned char byte) {
    return IsDBCSLeadByteEx(CP_ACP, byte) != FALSE;
}

constexpr AnsiCodePage kAnsiCodePage = {EncodeAnsi, IsAnsiLeadByte};

}  // namespace

int CRvInstallerMain::DoInstall(const char* request, char*& result) {
    if (!ReadRequest(request))
        return kRequestUnusable;
    // The install asks about the protected folders at every folder check
    // and tree operation; they are looked up once for the whole run.
    const ProtectedFolderScope protectedFolders;

    ReadInstalledRecord();

    InstallResult outcome;
    outcome.nErrorCode = kInstallSucceeded;
    outcome.strErrorDesc = "success";
    try {
        DoCheckValidInstall();
    } catch (const CRvInstallException& e) {
        outcome.nErrorCode = kInstallFailed;
        outcome.strErrorDesc = e.GetDesc();
    } catch (...) {
        outcome.nErrorCode = kInstallFailed;
        outcome.strErrorDesc = "catch...";
    }

    RV_STEP_LOG(kDoInstall, "InstallRet ret = " << outcome.nErrorCode
                                                << " err_desc = " << outcome.strErrorDesc);

    outcome.strLogAppend = BuildLogAppend();
    const std::string styled = WriteStyledResult(outcome);
    result = MakeResultBlock(styled);
    RV_STEP_LOG(kDoInstall, "strRetData = " << styled);
    // Only a failure after the install chose its new folder has anything of
    // its own to remove.
    if (outcome.nErrorCode != kInstallSucceeded && m_bNewFolder) {
        try {
            ClearInstalled();
        } catch (...) {
        }
    }
    return outcome.nErrorCode;
}

int CRvInstallerMain::ReportBusy(const char* request, char*& result, const char* refusal) {
    if (!ReadRequest(request))
        return kRequestUnusable;
    InstallResult outcome;
    outcome.nErrorCode = kInstallFailed;
    outcome.strErrorDesc = refusal;
    outcome.strLogAppend = BuildLogAppend();
    result = MakeResultBlock(WriteStyledResult(outcome));
    return kInstallFailed;
}

bool CRvInstallerMain::ReadRequest(const char* request) {
    InstallEnvelope envelope;
    if (!request || !ReadInstallRequest(std::string(request), envelope, m_request, kAnsiCodePage))
        return false;
    ApplyEnvelope(envelope);
    return true;
}

bool CRvInstallerMain::ParseEnvelope(const std::string& text) {
    InstallEnvelope envelope;
    if (!ParseInstallEnvelope(text, envelope, kAnsiCodePage))
        return false;
    ApplyEnvelope(envelope);
    return true;
}

void CRvInstallerMain::ApplyEnvelope(const InstallEnvelope& envelope) {
    m_nVer = envelope.m_nVer;
    m_strTmpDir = envelope.m_strTmpDir;
    m_strInstallSrcid = envelope.m_strInstallSrcid;
    m_strRspEncode = envelope.m_strRspEncode;
    m_bUpdate = envelope.m_bUpdate;
    m_bTmpDirUnencodable = envelope.m_bTmpDirUnencodable;
}

std::string CRvInstallerMain::BuildLogAppend() const {
    std::string version;
    GetModuleVersionString(GetInstallerModule(), version);
    return "|INSTTOOLS:" + version + "|SV:" + m_request.UpdateVersion;
}
