// The INI records of an install: what the previous installation recorded,
// and the records of the new one in config.dat and the User "Config.ini".
#include "base/AtlIniExt.h"
#include "base/DataConfig.h"
#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "base/SystemInfo.h"
#include "base/TextConvert.h"
#include "installer/InstallerLogSites.h"
#include "installer/OwnedFolders.h"
#include "installer/ProductConfigAccess.h"
#include "installer/RvInstallerMain.h"

namespace {
constexpr int kCommonAppDataCsidl = 35;
}

void CRvInstallerMain::ReadInstalledRecord() {
    std::wstring defaultFolder;
    GetDefaultInstallPath(defaultFolder, kCommonAppDataCsidl);
    m_strInstalledDir =
        AnsiToWide(ReadDataConfig("Config", "installDir", WideToAnsi(defaultFolder).c_str()));
    // The object is destroyed at the end of the block, which flushes the
    // system's cached copy of the file.
    const CAtlIniExt userConfig(
        JoinPath(JoinPath(JoinPath(m_strInstalledDir, L"Conf"), L"User"), L"Config.ini"));
    m_strInstalledExplorerKey = userConfig.GetString("Config", "ExplorerKey", kDefaultExplorerKey);
    // What proves the previous installation ours is read now, before this
    // install registers anything: the new module may take over its class.
    PruneOwnedFolders();
    m_policy.ReadPrevious(m_strInstalledDir, userConfig.GetString("config", "CLSID"),
                          m_strInstalledExplorerKey);
}

void CRvInstallerMain::WriteInstallInfo() {
    const std::string channel =
        !m_request.ChannelID.empty() ? m_request.ChannelID : m_strInstallSrcid;
    const std::string version = "PUSHELLEXT_" + m_request.UpdateVersion + "_" + channel;
    CProductConfig& config = InstallProductConfig();
    EnsureUserConfigFolder();
    config.WriteString("config", "version", version.c_str());
    config.WriteString("config", "ChannelID", channel.c_str());
    config.WriteString("config", "inst_time", GetTimestampString().c_str());
    config.WriteString("config", "GroupID", m_request.GroupID.c_str());
    RV_STEP_LOG(kWriteInstallInfo,
                "write version:version:" << version << " installTime:" << GetTimestampString());
    config.WriteString("CModuleUpdate", "modulename", m_request.CoreDllName.c_str());
    RV_STEP_LOG(kWriteInstallInfo, "Write Core Name:" << m_request.CoreDllName);
}

int CRvInstallerMain::WriteInstallFlag(const std::string& installFolder,
                                       const std::string& shellPath) {
    RV_STEP_LOG(kWriteInstallFlag, "WriteInstallFlag:Dir:" << installFolder);
    CProductConfig& config = InstallProductConfig();
    EnsureUserConfigFolder();
    WriteDataConfig("Config", "installDir", installFolder.c_str());
    config.WriteString("config", "CLSID", m_request.CLSID.c_str());
    config.WriteString("config", "ExplorerKey", m_request.ExplorerKey.c_str());
    config.WriteString("config", "ShellPath", shellPath.c_str());
    return config.WriteString("config", "CUpdateVersion", m_request.UpdateVersion.c_str());
}
