// The product configuration: "Config.ini" in the "Server" and "User"
// folders below the config folder. Reads prefer the Server file, writes go
// to the User file only. One instance per process, created on first use;
// it is destroyed by the exit-callback manager where one exists, otherwise
// it lives until the process ends. Installer library only.
#pragma once

#include <string>

#include "base/AtlIniExt.h"

class CProductConfig {
public:
    // The process-wide instance; safe to call from several threads at once.
    static CProductConfig* Instance();

    // Binds both files below `folder`, creating "Server" and "User" when
    // they are missing. A later call replaces the folder.
    void SetConfigFolder(const std::wstring& folder);

    // The Server value when it is not empty, otherwise the User value or
    // the default. Before SetConfigFolder the value is empty text, whatever
    // the default. Always returns 1.
    int GetString(const char* section,
                  const char* key,
                  std::string& value,
                  const char* defaultValue);

    // Writes into the User file: nonzero on success, 0 when the write failed
    // or no folder is set. Null removes the key (the profile functions'
    // convention).
    int WriteString(const char* section, const char* key, const char* value);

    const std::wstring& GetConfigFolder() const { return m_strConfigFolder; }

private:
    CProductConfig() = default;
    ~CProductConfig() = default;
    CProductConfig(const CProductConfig&) = delete;
    CProductConfig& operator=(const CProductConfig&) = delete;

    static void DestroyInstance(void* parameter);

    CAtlIniExt m_iniServer;
    CAtlIniExt m_iniUser;
    std::wstring m_strConfigFolder;
    std::wstring m_strUserFile;
    std::wstring m_strServerFile;
};
