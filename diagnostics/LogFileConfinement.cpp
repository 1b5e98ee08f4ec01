#include "diagnostics/LogFileConfinement.h"

#include <windows.h>

#include "base/PathString.h"
#include "base/StandardPaths.h"
#include "base/TextConvert.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/ProtectedFolders.h"
#include "diagnostics/DebugTrace.h"
#include "diagnostics/LogFileRules.h"

namespace {

bool IsPermittedLogFile(const std::string& text, const std::wstring& folder) {
    std::wstring wide;
    if (!AnsiToWideExact(text, wide))
        return false;
    const std::wstring full = FullFolderPath(wide);
    if (full.empty() || !IsPathBelowFolder(full, folder))
        return false;
    for (const std::wstring& path : PathAndParents(full)) {
        if (path.size() < folder.size())
            break;
        if (IsLinkPath(path))
            return false;
    }
    return true;
}

}  // namespace

bool IsElevatedToken() {
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof(sid);
    BOOL member = TRUE;
    if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &size) ||
        !CheckTokenMembership(nullptr, sid, &member))
        return true;
    return member != FALSE;
}

void ConfineLogFiles(log4cplus::helpers::Properties& properties) {
    std::wstring folder;
    GetStandardPath(folder, kPathLocalDataDir);
    // Without a known folder every file is elsewhere.
    folder = AbsoluteRootLength(folder) != 0 ? FullFolderPath(folder) : std::wstring();

    const std::vector<std::string> keys = properties.propertyNames();
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string& key : keys)
        pairs.emplace_back(key, properties.getProperty(key));
    const auto drops = LogConfigDrops(
        pairs, [&folder](const std::string& text) { return IsPermittedLogFile(text, folder); });
    for (const LogConfigDrop& drop : drops) {
        RV_TRACE_INFO("InstallerLogger", 1)
            << "log configuration: " << drop.prefix << " dropped: " << drop.reason;
        for (const std::string& key : keys) {
            if (IsDropped(key, drop))
                properties.removeProperty(key);
        }
    }
}
