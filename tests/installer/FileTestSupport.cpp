#include "tests/installer/FileTestSupport.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>

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

// Single quotes for the Unix shell; text holding a single quote is refused.
bool ShellQuote(const std::string& text, std::string& quoted) {
    if (text.empty() || text.find('\'') != std::string::npos)
        return false;
    quoted = "'" + text + "'";
    return true;
}

bool WaitForAttributes(const std::wstring& path, bool present, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    for (;;) {
        if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present)
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
}

// The prefix's dosdevices folder, where each drive letter is a Unix link.
std::string DosDevicesFolder() {
    std::string drive = UnixPath(L"C:\\");
    while (!drive.empty() && drive.back() == '/')
        drive.pop_back();
    const size_t slash = drive.find_last_of('/');
    return slash == std::string::npos ? std::string() : drive.substr(0, slash);
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

namespace {

void AddTreeEntries(const std::wstring& folder,
                    const std::wstring& prefix,
                    std::vector<std::wstring>& entries) {
    for (const std::wstring& name : FolderEntries(folder)) {
        const std::wstring path = folder + L"\\" + name;
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            entries.push_back(prefix + name);
            continue;
        }
        entries.push_back(prefix + name + L"\\");
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
            AddTreeEntries(path, prefix + name + L"\\", entries);
    }
}

}  // namespace

std::vector<std::wstring> TreeEntries(const std::wstring& folder) {
    std::vector<std::wstring> entries;
    AddTreeEntries(folder, std::wstring(), entries);
    std::sort(entries.begin(), entries.end());
    return entries;
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

std::string UnixPath(const std::wstring& path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    const auto toUnix = reinterpret_cast<UnixFileName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (toUnix == nullptr)
        return std::string();
    char* name = toUnix(path.c_str());
    if (name == nullptr)
        return std::string();
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

bool RunUnixCommand(const std::string& command, DWORD timeoutMs) {
    static LONG counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring marker = std::wstring(temp) + L"rvunix-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(InterlockedIncrement(&counter)) + L".status";
    std::string quotedMarker;
    if (command.find('"') != std::string::npos || !ShellQuote(UnixPath(marker), quotedMarker))
        return false;
    // The test prefixes have no drive Z:; Wine's Unix namespace still
    // names the shell.
    std::wstring line =
        Widen("\\\\?\\unix\\bin\\sh -c \"" + command + "; echo $? > " + quotedMarker + "\"");
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // Wine 8 execs a Unix program without making process or thread handles:
    // the two it hands back are whatever lay on its stack (seen: the
    // handle of this process's standard output), so they are never closed.
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    // The status line is complete once it ends in a newline.
    const DWORD start = GetTickCount();
    std::string status;
    while (status.empty() || status.back() != '\n') {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
        status = ReadFileBytes(marker);
    }
    DeleteFileW(marker.c_str());
    return std::atoi(status.c_str()) == 0;
}

bool PlantFolderLink(const std::wstring& link, const std::wstring& target) {
    std::string quotedLink, quotedTarget;
    if (!ShellQuote(UnixPath(link), quotedLink) || !ShellQuote(UnixPath(target), quotedTarget))
        return false;
    if (!RunUnixCommand("/bin/ln -s " + quotedTarget + " " + quotedLink))
        return false;
    const DWORD attributes = GetFileAttributesW(link.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool PlantFileLink(const std::wstring& link, const std::wstring& target, bool hard) {
    std::string quotedLink, quotedTarget;
    return ShellQuote(UnixPath(link), quotedLink) && ShellQuote(UnixPath(target), quotedTarget) &&
           RunUnixCommand(std::string(hard ? "/bin/ln -f " : "/bin/ln -sf ") + quotedTarget + " " +
                          quotedLink);
}

bool RemoveFolderLink(const std::wstring& link) {
    std::string quotedLink;
    return ShellQuote(UnixPath(link), quotedLink) &&
           RunUnixCommand("/bin/rm -f " + quotedLink + " && test ! -L " + quotedLink);
}

MappedDrive::MappedDrive(const std::wstring& folder) {
    std::string quotedFolder;
    const std::string dosDevices = DosDevicesFolder();
    if (dosDevices.empty() || !ShellQuote(UnixPath(folder), quotedFolder))
        return;
    const DWORD used = GetLogicalDrives();
    for (wchar_t letter = L'Q'; letter <= L'Y'; ++letter) {
        if ((used & (1u << (letter - L'A'))) != 0)
            continue;
        const std::string link = dosDevices + "/" + static_cast<char>(letter - L'A' + 'a') + ":";
        // ln refuses a name that is taken, even by a dangling link.
        if (!RunUnixCommand("/bin/ln -s " + quotedFolder + " '" + link + "'"))
            continue;
        m_letter = letter;
        m_unixLink = link;
        if (!WaitForAttributes(Root(), true, 5000))
            m_letter = 0;
        return;
    }
}

MappedDrive::~MappedDrive() {
    if (m_unixLink.empty())
        return;
    RunUnixCommand("/bin/rm -f '" + m_unixLink + "'");
    if (m_letter != 0)
        WaitForAttributes(Root(), false, 5000);
}

std::wstring MappedDrive::Root() const {
    return std::wstring(1, m_letter) + L":\\";
}
