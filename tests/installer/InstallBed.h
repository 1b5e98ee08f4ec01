// End-to-end install scenarios: requests go through the host program
// RvInstHost.exe with the built modules as their source folder, and what an
// install left behind is read back from the disk and the registry.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/installer/FileTestSupport.h"
#include "tests/support/TestEnvironment.h"

struct HostRun {
    DWORD code = 0xFFFFFFFF;
    std::string desc;  // "strErrorDesc" of the result, empty without one
};

// The overlay identifier key of `name` below HKEY_LOCAL_MACHINE.
std::wstring OverlayKeyPath(const std::wstring& name);
std::wstring ClassKeyPath(const std::wstring& clsid);
// The registry view Explorer uses (64-bit on 64-bit Windows) and the other.
REGSAM NativeView();
REGSAM ForeignView();
// The default value of an HKEY_LOCAL_MACHINE key in a view; false when the
// key does not exist.
bool ReadKeyDefault(REGSAM view, const std::wstring& path, std::wstring* value = nullptr);
void DeleteKeyTree(REGSAM view, const std::wstring& path);

// The value of an INI key through the profile functions; "<missing>" when
// the key is not there.
std::string IniValue(const std::wstring& file, const char* section, const char* key);

// Everything of an installation that a later install must leave alone.
struct InstallSnapshot {
    std::vector<std::wstring> files;
    std::string dataConfig;
    std::string userConfig;
    std::wstring overlayValue;
    std::wstring classServer;
    bool operator==(const InstallSnapshot& other) const;
};

class InstallBed {
public:
    // Saves config.dat (put back afterwards) and clears the shell module's
    // test switch.
    InstallBed();
    ~InstallBed();
    InstallBed(const InstallBed&) = delete;
    InstallBed& operator=(const InstallBed&) = delete;

    // Sends an envelope with the given source folder and the install
    // parameters (JSON text) through the host.
    HostRun Install(const std::string& params, const std::wstring& tmpDir);
    HostRun Install(const std::string& params) { return Install(params, Payload()); }
    // Sends the request file content through the host byte for byte.
    HostRun SendRequest(const std::string& request);
    // Installs with the host paused at the kill point `point` while
    // `meanwhile` runs (RV_TEST_PAUSE_AT).
    HostRun InstallPausedAt(const wchar_t* point,
                            const std::string& params,
                            const std::function<void()>& meanwhile);
    // Starts one host for each set of parameters at once, and waits for all.
    std::vector<HostRun> InstallAtOnce(const std::vector<std::string>& params);

    // The built modules, under the names a request's source folder holds.
    static std::wstring Payload();
    // A copy of the payload in a scratch folder of the bed, to be altered.
    std::wstring PayloadCopy();
    // The special folder `csidl` joined with `subDir`.
    static std::wstring FolderIn(int csidl, const std::wstring& subDir);
    static std::wstring DataConfigFile();

    // Removed (folder trees, keys in both views) when the bed goes.
    void Track(const std::wstring& folder,
               const std::wstring& overlayKey,
               const std::wstring& clsid);

    // The native COM probe's answer for the overlay key: the module that
    // Explorer's way of creating the handler loads ("" on failure).
    std::wstring ProbeOverlayModule(const std::wstring& key);

    InstallSnapshot Snapshot(const std::wstring& folder,
                             const std::wstring& key,
                             const std::wstring& clsid) const;

    // Sends each install's log lines ("<source>|<function>|<message>") into
    // a file below the local data folder, the only place an elevated install
    // logs to; the log configuration and the file go again with the bed.
    void EnableInstallLog();
    // The lines the last install logged.
    std::vector<std::string> InstallLogLines() const;
    static std::wstring InstallLogFile() { return LocalDataFolder() + L"\\log_cfg\\install.log"; }

private:
    ProfileFilesGuard m_dataConfigGuard;
    std::unique_ptr<ProfileFilesGuard> m_logConfigGuard;
    ScratchFolder m_scratch;
    int m_nCopies = 0;
    std::vector<std::wstring> m_folders;
    std::vector<std::wstring> m_keys;
};

// True when each expected text starts one of the lines, in this order.
bool StartsLinesInOrder(const std::vector<std::string>& lines,
                        const std::vector<std::string>& expected,
                        std::string* firstMissing);

// Sets an environment variable for the scope (inherited by the host and the
// registration tool it starts).
class ScopedEnvironment {
public:
    ScopedEnvironment(const wchar_t* name, const wchar_t* value);
    ~ScopedEnvironment();

private:
    std::wstring m_name;
};
