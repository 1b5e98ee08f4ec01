#include "base/DataConfig.h"

#include <windows.h>

#include "base/AtlIniExt.h"
#include "base/PathFileSystem.h"
#include "base/StandardPaths.h"

namespace {

// Creates the local data folder on the way; the file itself may be absent.
std::wstring DataConfigPath() {
    std::wstring path;
    GetStandardPath(path, kPathDataConfig);
    return path;
}

}  // namespace

std::string ReadDataConfig(const char* section, const char* key, const char* defaultValue) {
    const CAtlIniExt file(DataConfigPath());
    return file.GetString(section, key, defaultValue);
}

bool ReplaceDataConfigEntries(const std::vector<IniEntry>& entries) {
    const std::wstring path = DataConfigPath();
    return !path.empty() && ReplaceIniEntries(path, entries);
}

bool IsDataConfigReadable() {
    return IsReadableOrMissing(DataConfigPath());
}
