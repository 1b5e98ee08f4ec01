// The install parameters: the second JSON document of a request, carried
// Base64-encoded in the envelope's "rspEncode".
#pragma once

#include <string>
#include <vector>

#include "installer/request/JsonAnsiText.h"

struct InstallRequest {
    int reg;
    int ec;
    std::string zipUrl;
    std::string zipMd5;
    std::string dll_i;
    std::string appendLog;
    std::string ChannelID;
    int csidlDir;
    std::string subDir;
    std::string CLSID;
    std::string ExplorerKey;
    std::string ShellDllName;
    std::string CoreDllName;
    std::string GroupID;
    std::string UpdateVersion;
    std::vector<std::string> PFilter;
    // Keys whose string held a character that the ANSI code page cannot
    // hold; '?' stands in its place in the field.
    std::vector<std::string> unencodable;

    InstallRequest() { Reset(); }

    bool IsUnencodable(const char* key) const;

    // Every field back to its default.
    void Reset();

    // Reads the parameters document. Absent or mistyped keys keep their
    // values, except "PFilter": an array or null (absent included) replaces
    // the list. "csidlDir" is clamped to 1..56 in any case. False when the
    // text is not JSON or its root is neither an object nor null. A
    // "zipFile" member or "PFilter" element that has no text form (a
    // number, array or object) sets *rejected and returns false: such a
    // request is unusable as a whole. *rejected (when given) is false
    // otherwise. Whenever it returns false, the fields are unchanged.
    // Strings are read as ANSI text of `codePage`
    // (installer/request/JsonAnsiText.h).
    bool Parse(const std::string& text,
               bool* rejected = nullptr,
               const AnsiCodePage& codePage = {});
};

// Default identity of the overlay handler and the install location.
constexpr const char* kDefaultClsid = "3F6A2C91-5B7E-4D08-9A41-C2E7F05B1D63";
constexpr const char* kDefaultExplorerKey = "PuShellIconOverlay";
constexpr const char* kDefaultSubDir = "Dovadi";
constexpr const char* kDefaultShellDllName = "Dovadi.dll";
constexpr const char* kDefaultCoreDllName = "CoreModule.dll";
constexpr const char* kDefaultUpdateVersion = "1.0.6.9000";
constexpr const char* kDefaultInstallerDllName = "RvInstaller.dll";
constexpr int kDefaultCsidlDir = 35;  // CSIDL_COMMON_APPDATA
constexpr int kMinCsidlDir = 1;
constexpr int kMaxCsidlDir = 56;
