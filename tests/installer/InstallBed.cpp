#include "tests/installer/InstallBed.h"

#include <shlobj.h>

#include <gtest/gtest.h>
#include <json/json.h>

#include <thread>

#include "base/ScopedHandle.h"

#include "tests/support/Base64Encode.h"

namespace {

constexpr DWORD kHostTimeoutMs = 120000;

std::wstring Quoted(const std::wstring& text) {
    return L"\"" + text + L"\"";
}

std::string JsonText(const std::string& text) {
    return Json::valueToQuotedString(text.c_str());
}

void ListTree(const std::wstring& folder,
              const std::wstring& prefix,
              std::vector<std::wstring>& out) {
    for (const std::wstring& name : FolderEntries(folder)) {
        out.push_back(prefix + name);
        const std::wstring path = folder + L"\\" + name;
        if (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY)
            ListTree(path, prefix + name + L"\\", out);
    }
}

}  // namespace

std::wstring OverlayKeyPath(const std::wstring& name) {
    return L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers"
           L"\\" +
           name;
}

std::wstring ClassKeyPath(const std::wstring& clsid) {
    return L"Software\\Classes\\CLSID\\{" + clsid + L"}";
}

REGSAM NativeView() {
    return RunsUnderWow64() ? KEY_WOW64_64KEY : 0;
}

REGSAM ForeignView() {
    return RunsUnderWow64() ? KEY_WOW64_32KEY : 0;
}

bool ReadKeyDefault(REGSAM view, const std::wstring& path, std::wstring* value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return false;
    wchar_t buffer[MAX_PATH] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (value != nullptr) {
        value->clear();
        if (RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer),
                             &size) == ERROR_SUCCESS)
            *value = buffer;
    }
    RegCloseKey(key);
    return true;
}

void DeleteKeyTree(REGSAM view, const std::wstring& path) {
    const size_t slash = path.find_last_of(L'\\');
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | view,
                      &parent) != ERROR_SUCCESS)
        return;
    RegDeleteTreeW(parent, path.substr(slash + 1).c_str());
    RegCloseKey(parent);
}

std::string IniValue(const std::wstring& file, const char* section, const char* key) {
    char value[300] = {};
    GetPrivateProfileStringA(section, key, "<missing>", value, sizeof(value), Narrow(file).c_str());
    return value;
}

bool InstallSnapshot::operator==(const InstallSnapshot& other) const {
    return files == other.files && dataConfig == other.dataConfig &&
           userConfig == other.userConfig && overlayValue == other.overlayValue &&
           classServer == other.classServer;
}

InstallBed::InstallBed() : m_dataConfigGuard({LocalDataFolder()}, {DataConfigFile()}) {
    SetEnvironmentVariableW(L"RV_TEST_SHELL_REGISTRATION", nullptr);
}

InstallBed::~InstallBed() {
    for (const std::wstring& key : m_keys) {
        DeleteKeyTree(NativeView(), key);
        DeleteKeyTree(ForeignView(), key);
    }
    for (const std::wstring& folder : m_folders)
        RemoveTree(folder);
}

std::wstring InstallBed::DataConfigFile() {
    return LocalDataFolder() + L"\\config.dat";
}

std::wstring InstallBed::Payload() {
    return BinFile(L"payload") + L"\\";
}

std::wstring InstallBed::PayloadCopy() {
    const std::wstring copy = m_scratch / (L"payload" + std::to_wstring(++m_nCopies));
    CreateDirectoryW(copy.c_str(), nullptr);
    for (const std::wstring& name : FolderEntries(BinFile(L"payload")))
        CopyFileW((Payload() + name).c_str(), (copy + L"\\" + name).c_str(), FALSE);
    return copy + L"\\";
}

std::wstring InstallBed::FolderIn(int csidl, const std::wstring& subDir) {
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, folder);
    return std::wstring(folder) + L"\\" + subDir;
}

void InstallBed::Track(const std::wstring& folder,
                       const std::wstring& overlayKey,
                       const std::wstring& clsid) {
    if (!folder.empty())
        m_folders.push_back(folder);
    if (!overlayKey.empty())
        m_keys.push_back(OverlayKeyPath(overlayKey));
    if (!clsid.empty())
        m_keys.push_back(ClassKeyPath(clsid));
}

HostRun InstallBed::Install(const std::string& params, const std::wstring& tmpDir) {
    return SendRequest("{\"tmpDir\":" + JsonText(Narrow(tmpDir)) +
                       ",\"InstallSrcid\":\"77\",\"rspEncode\":\"" + EncodeBase64(params) + "\"}");
}

HostRun InstallBed::InstallPausedAt(const wchar_t* point,
                                    const std::string& params,
                                    const std::function<void()>& meanwhile) {
    const ScopedHandle paused(CreateEventW(nullptr, TRUE, FALSE, L"RvTestPaused"));
    const ScopedHandle resume(CreateEventW(nullptr, TRUE, FALSE, L"RvTestResume"));
    ResetEvent(paused.Get());
    ResetEvent(resume.Get());
    HostRun run;
    ScopedEnvironment pause(L"RV_TEST_PAUSE_AT", point);
    std::thread host([&] { run = Install(params); });
    EXPECT_EQ(WaitForSingleObject(paused.Get(), 120000), WAIT_OBJECT_0) << Narrow(point);
    meanwhile();
    SetEvent(resume.Get());
    host.join();
    return run;
}

std::vector<HostRun> InstallBed::InstallAtOnce(const std::vector<std::string>& params) {
    std::vector<HostRun> runs(params.size());
    std::vector<HANDLE> processes;
    for (size_t i = 0; i < params.size(); ++i) {
        const std::wstring index = std::to_wstring(i);
        const std::wstring request = m_scratch / (L"request" + index + L".json");
        const std::wstring result = m_scratch / (L"result" + index + L".json");
        DeleteFileW(result.c_str());
        WriteFileBytes(request, "{\"tmpDir\":" + JsonText(Narrow(Payload())) + ",\"rspEncode\":\"" +
                                    EncodeBase64(params[i]) + "\"}");
        std::wstring command = Quoted(BinFile(L"RvInstHost.exe")) + L" --request-file " +
                               Quoted(request) + L" --result-file " + Quoted(result);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION started = {};
        if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                            nullptr, nullptr, &startup, &started))
            continue;
        CloseHandle(started.hThread);
        processes.push_back(started.hProcess);
    }
    WaitForMultipleObjects(static_cast<DWORD>(processes.size()), processes.data(), TRUE,
                           kHostTimeoutMs);
    for (size_t i = 0; i < processes.size(); ++i) {
        GetExitCodeProcess(processes[i], &runs[i].code);
        CloseHandle(processes[i]);
        Json::Value result;
        Json::Reader reader;
        if (reader.parse(ReadFileBytes(m_scratch / (L"result" + std::to_wstring(i) + L".json")),
                         result) &&
            result.isObject())
            runs[i].desc = result["strErrorDesc"].asString();
    }
    return runs;
}

HostRun InstallBed::SendRequest(const std::string& request) {
    const std::wstring requestFile = m_scratch / L"request.json";
    const std::wstring resultFile = m_scratch / L"result.json";
    DeleteFileW(resultFile.c_str());
    HostRun run;
    if (!WriteFileBytes(requestFile, request))
        return run;
    const std::wstring command = Quoted(BinFile(L"RvInstHost.exe")) + L" --request-file " +
                                 Quoted(requestFile) + L" --result-file " + Quoted(resultFile);
    if (!RunAndWait(command, kHostTimeoutMs, &run.code))
        return run;
    Json::Value result;
    Json::Reader reader;
    if (reader.parse(ReadFileBytes(resultFile), result) && result.isObject())
        run.desc = result["strErrorDesc"].asString();
    return run;
}

std::wstring InstallBed::ProbeOverlayModule(const std::wstring& key) {
    const std::wstring output = m_scratch / L"probe.txt";
    DeleteFileW(output.c_str());
    const std::wstring probe =
        BinFile(RunsUnderWow64() ? L"RvOverlayProbe64.exe" : L"RvOverlayProbe.exe");
    DWORD code = 1;
    if (!RunAndWait(Quoted(probe) + L" " + Quoted(key) + L" " + Quoted(output), 60000, &code) ||
        code != 0)
        return L"";
    return Widen(ReadFileBytes(output));
}

InstallSnapshot InstallBed::Snapshot(const std::wstring& folder,
                                     const std::wstring& key,
                                     const std::wstring& clsid) const {
    InstallSnapshot snapshot;
    ListTree(folder, L"", snapshot.files);
    snapshot.dataConfig = ReadFileBytes(DataConfigFile());
    snapshot.userConfig = ReadFileBytes(folder + L"\\Conf\\User\\Config.ini");
    ReadKeyDefault(NativeView(), OverlayKeyPath(key), &snapshot.overlayValue);
    ReadKeyDefault(NativeView(), ClassKeyPath(clsid) + L"\\InprocServer32", &snapshot.classServer);
    return snapshot;
}

void InstallBed::EnableInstallLog() {
    const std::wstring folder = LocalDataFolder() + L"\\log_cfg";
    m_logConfigGuard.reset(new ProfileFilesGuard({LocalDataFolder(), folder},
                                                 {folder + L"\\INSTALL.lcfg", InstallLogFile()}));
    WriteFileAppenderConfig(InstallLogFile(), "%b|%M|%m%n");
}

std::vector<std::string> InstallBed::InstallLogLines() const {
    std::vector<std::string> lines;
    std::string line;
    for (char c : ReadFileBytes(InstallLogFile())) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    return lines;
}

bool StartsLinesInOrder(const std::vector<std::string>& lines,
                        const std::vector<std::string>& expected,
                        std::string* firstMissing) {
    size_t next = 0;
    for (const std::string& line : lines) {
        if (next < expected.size() && line.compare(0, expected[next].size(), expected[next]) == 0)
            ++next;
    }
    if (next < expected.size() && firstMissing != nullptr)
        *firstMissing = expected[next];
    return next == expected.size();
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value) : m_name(name) {
    SetEnvironmentVariableW(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
    SetEnvironmentVariableW(m_name.c_str(), nullptr);
}
