// The INI records of an install: what the previous installation recorded,
// and the records of the new one in config.dat and the User "Config.ini".
#include "base/AtlIniExt.h"
#include "base/DataConfig.h"
#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "base/SystemInfo.h"
#include "base/TextConvert.h"
#include "base/PathFileSystem.h"
#include "installer/InstallerLogSites.h"
#include "installer/RvInstallException.h"
#include "installer/OwnedFolders.h"
#include "installer/ProductConfigAccess.h"
#include "installer/RvInstallerMain.h"

namespace {
constexpr int kCommonAppDataCsidl = 35;
}

void CRvInstallerMain::ReadInstalledRecord() {
    // A config.dat that is there but cannot be read leaves the previous
    // installation unknown: the install fails rather than guess.
    if (!IsDataConfigReadable()) {
        m_strUnreadableRecord = "read config.dat";
        return;
    }
    std::wstring defaultFolder;
    GetDefaultInstallPath(defaultFolder, kCommonAppDataCsidl);
    const std::string recorded =
        ReadDataConfig("Config", "installDir", WideToAnsi(defaultFolder).c_str());
    // A name the code page does not carry back exactly names another
    // folder: no previous installation is known then (no install records
    // such a name).
    if (!AnsiToWideExact(recorded, m_strInstalledDir)) {
        RV_STEP_LOG(kDoCheckValidInstall, "installDir not in the ANSI code page: " << recorded);
        m_strInstalledDir.clear();
    }
    // The object is destroyed at the end of the block, which flushes the
    // system's cached copy of the file.
    const std::wstring userFile =
        m_strInstalledDir.empty()
            ? std::wstring()
            : JoinPath(JoinPath(JoinPath(m_strInstalledDir, L"Conf"), L"User"), L"Config.ini");
    const CAtlIniExt userConfig(userFile);
    m_strInstalledExplorerKey = userConfig.GetString("Config", "ExplorerKey", kDefaultExplorerKey);
    // What proves the previous installation ours is read now, before this
    // install registers anything: the new module may take over its class.
    m_policy.SetFormerFolders(PruneOwnedFolders());
    m_policy.ReadPrevious(m_strInstalledDir, userConfig.GetString("config", "CLSID"),
                          m_strInstalledExplorerKey);
    // That proof holds only while no folder record exists, and this install
    // creates one: an installation proven by its registration alone is
    // recorded at once (by the entries the product placed there), so that
    // a retry after a failure still knows it.
    if (m_policy.IsPreviousOurs() && !m_policy.IsPreviousRecorded())
        RecordProductEntries(m_strInstalledDir, ProductEntriesOf(m_policy, m_strInstalledDir));
    if (m_policy.IsPreviousOurs() && !IsReadableOrMissing(userFile))
        m_strUnreadableRecord = "read Config.ini";
}

void CRvInstallerMain::WriteUserRecords(const std::vector<IniEntry>& entries) {
    CheckFolderHeld("write Config.ini");
    EnsureUserConfigFolder();
    const std::wstring conf = InstallProductConfig().GetConfigFolder();
    if (conf.empty() ||
        !ReplaceIniEntries(JoinPath(JoinPath(conf, L"User"), L"Config.ini"), entries))
        throw CRvInstallException(10, 0, "write Config.ini");
}

void CRvInstallerMain::WriteInstallInfo() {
    const std::string channel =
        !m_request.ChannelID.empty() ? m_request.ChannelID : m_strInstallSrcid;
    const std::string version = "PUSHELLEXT_" + m_request.UpdateVersion + "_" + channel;
    const std::string installTime = GetTimestampString();
    WriteUserRecords({{"config", "version", version},
                      {"config", "ChannelID", channel},
                      {"config", "inst_time", installTime},
                      {"config", "GroupID", m_request.GroupID},
                      {"CModuleUpdate", "modulename", m_request.CoreDllName}});
    RV_STEP_LOG(kWriteInstallInfo,
                "write version:version:" << version << " installTime:" << GetTimestampString());
    RV_STEP_LOG(kWriteInstallInfo, "Write Core Name:" << m_request.CoreDllName);
}

int CRvInstallerMain::WriteInstallFlag(const std::string& installFolder,
                                       const std::string& shellPath) {
    RV_STEP_LOG(kWriteInstallFlag, "WriteInstallFlag:Dir:" << installFolder);
    WriteUserRecords({{"config", "CLSID", m_request.CLSID},
                      {"config", "ExplorerKey", m_request.ExplorerKey},
                      {"config", "ShellPath", shellPath},
                      {"config", "CUpdateVersion", m_request.UpdateVersion}});
    // From this write on the new installation is the recorded one. A
    // previous folder about to be retired stays named as "waitdel" until it
    // is gone, and proven ours by the folder record, so that an install
    // killed in the retirement is finished by the next one.
    std::vector<IniEntry> records = {{"Config", "installDir", installFolder}};
    if (m_policy.RetirementRefusal() == nullptr) {
        // Recorded ours already (an earlier release's folder since
        // ReadInstalledRecord, by the entries the product placed there).
        records.push_back({"config", "waitdel", WideToAnsi(m_strInstalledDir)});
    }
    if (!ReplaceDataConfigEntries(records))
        throw CRvInstallException(10, 0, "write config.dat");
    return 1;
}
