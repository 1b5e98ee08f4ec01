#include "tests/installer/FileTestSupport.h"

#include <shlobj.h>

#include <algorithm>

#include "tests/support/TestEnvironment.h"

namespace {

const wchar_t kSessionManagerKey[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kPendingRenamesValue[] = L"PendingFileRenameOperations";

bool ReadPendingValue(std::vector<BYTE>& value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool found = RegQueryValueExW(key, kPendingRenamesValue, nullptr, nullptr, nullptr, &size) ==
                 ERROR_SUCCESS;
    if (found) {
        value.assign(size, 0);
        found = RegQueryValueExW(key, kPendingRenamesValue, nullptr, nullptr, value.data(),
                                 &size) == ERROR_SUCCESS;
        value.resize(size);
    }
    RegCloseKey(key);
    return found;
}

}  // namespace

HeldImage::HeldImage(const std::wstring& path) {
    if (CopyFileW(BinFile(L"RvInstaller.dll").c_str(), path.c_str(), FALSE))
        m_module = LoadLibraryExW(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
}

void HeldImage::Release() {
    if (m_module != nullptr)
        FreeLibrary(m_module);
    m_module = nullptr;
}

OpenFileHandle::OpenFileHandle(const std::wstring& path, DWORD share) {
    m_handle = CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

void OpenFileHandle::Release() {
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
}

std::vector<std::wstring> ReadPendingRenames() {
    std::vector<BYTE> value;
    std::vector<std::wstring> entries;
    if (!ReadPendingValue(value))
        return entries;
    const wchar_t* text = reinterpret_cast<const wchar_t*>(value.data());
    const size_t count = value.size() / sizeof(wchar_t);
    // Pairs of strings; an empty target is an empty string, so the list
    // cannot be split at the first empty string.
    size_t start = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] == L'\0') {
            entries.emplace_back(text + start, i - start);
            start = i + 1;
        }
    }
    while (!entries.empty() && entries.size() % 2 != 0 && entries.back().empty())
        entries.pop_back();
    return entries;
}

PendingRenamesGuard::PendingRenamesGuard() {
    m_bExisted = ReadPendingValue(m_value);
}

PendingRenamesGuard::~PendingRenamesGuard() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSessionManagerKey, 0, KEY_SET_VALUE, &key) !=
        ERROR_SUCCESS)
        return;
    if (m_bExisted)
        RegSetValueExW(key, kPendingRenamesValue, 0, REG_MULTI_SZ, m_value.data(),
                       static_cast<DWORD>(m_value.size()));
    else
        RegDeleteValueW(key, kPendingRenamesValue);
    RegCloseKey(key);
}

bool IsQueuedForDeletion(const std::wstring& path) {
    const std::vector<std::wstring> entries = ReadPendingRenames();
    for (size_t i = 0; i + 1 < entries.size(); i += 2) {
        if (entries[i] == L"\\??\\" + path && entries[i + 1].empty())
            return true;
    }
    return false;
}

std::vector<std::wstring> FolderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

ProfileFilesGuard::ProfileFilesGuard(std::vector<std::wstring> folders,
                                     std::vector<std::wstring> files) {
    for (const std::wstring& folder : folders)
        if (!FolderExists(folder))
            m_newFolders.push_back(folder);
    for (const std::wstring& file : files) {
        const bool existed = FileExists(file);
        m_files.push_back({file, existed, existed ? ReadFileBytes(file) : std::string()});
    }
}

ProfileFilesGuard::~ProfileFilesGuard() {
    for (const SavedFile& file : m_files) {
        // The profile functions may hold a cached copy of an INI file.
        WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.path.c_str());
        if (file.existed)
            WriteFileBytes(file.path, file.content);
        else
            DeleteFileW(file.path.c_str());
    }
    for (auto it = m_newFolders.rbegin(); it != m_newFolders.rend(); ++it)
        RemoveDirectoryW(it->c_str());
}

std::wstring LocalDataFolder() {
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return std::wstring(path) + L"\\TDXdata";
}

bool WriteFileAppenderConfig(const std::wstring& log,
                             const std::string& pattern,
                             const std::string& extra) {
    const std::wstring folder = LocalDataFolder() + L"\\log_cfg";
    CreateDirectoryW(LocalDataFolder().c_str(), nullptr);
    CreateDirectoryW(folder.c_str(), nullptr);
    std::string file = Narrow(log);
    std::replace(file.begin(), file.end(), '\\', '/');
    return WriteFileBytes(folder + L"\\INSTALL.lcfg",
                          "log4cplus.rootLogger=DEBUG, F\n"
                          "log4cplus.appender.F=log4cplus::FileAppender\n"
                          "log4cplus.appender.F.File=" +
                              file +
                              "\n"
                              "log4cplus.appender.F.layout=log4cplus::PatternLayout\n"
                              "log4cplus.appender.F.layout.ConversionPattern=" +
                              pattern + "\n" + extra);
}
