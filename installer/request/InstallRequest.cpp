#include "installer/request/InstallRequest.h"

#include <json/value.h>

#include <utility>

#include "installer/request/JsonKinds.h"

namespace {

// The text of a "zipFile" member or "PFilter" element: a string as it is,
// a boolean as "true" or "false", null as empty text. Numbers, arrays and
// objects have no text form here.
bool TextOf(const Json::Value& value, std::string& text) {
    switch (value.type()) {
        case Json::stringValue:
            text = value.asString();
            return true;
        case Json::booleanValue:
            text = value.asBool() ? "true" : "false";
            return true;
        case Json::nullValue:
            text.clear();
            return true;
        default:
            return false;
    }
}

// Takes a "zipFile" member when it is present and not null.
bool TakeZipMember(const Json::Value& zipFile, const char* key, std::string& field) {
    const Json::Value& value = zipFile[key];
    if (value.isNull()) {
        return true;
    }
    return TextOf(value, field);
}

}  // namespace

void InstallRequest::Reset() {
    reg = 0;
    ec = -1;
    zipUrl.clear();
    zipMd5.clear();
    dll_i = kDefaultInstallerDllName;
    appendLog.clear();
    ChannelID.clear();
    csidlDir = kDefaultCsidlDir;
    subDir = kDefaultSubDir;
    CLSID = kDefaultClsid;
    ExplorerKey = kDefaultExplorerKey;
    ShellDllName = kDefaultShellDllName;
    CoreDllName = kDefaultCoreDllName;
    GroupID.clear();
    UpdateVersion = kDefaultUpdateVersion;
    PFilter.clear();
    unencodable.clear();
}

bool InstallRequest::IsUnencodable(const char* key) const {
    for (const std::string& name : unencodable) {
        if (name == key)
            return true;
    }
    return false;
}

bool InstallRequest::Parse(const std::string& raw, bool* rejected, const AnsiCodePage& codePage) {
    if (rejected) {
        *rejected = false;
    }
    const std::string text = EscapeTrailBackslashes(raw, codePage.isLeadByte);
    Json::Value document;
    if (!ParseJsonObjectText(text, document)) {
        return false;
    }
    // Read through a const reference: the mutable accessors would add the
    // keys they look up.
    const Json::Value& root = document;

    // Fill a copy so that a rejected document leaves this record as it was.
    InstallRequest parsed(*this);
    TakeJsonInteger(root, "reg", parsed.reg);
    TakeJsonInteger(root, "ec", parsed.ec);
    const JsonAnsiStrings strings(text, codePage.encode);
    parsed.unencodable.clear();
    const auto takeString = [&](const char* key, std::string& field) {
        if (!strings.Take(root, key, field))
            parsed.unencodable.push_back(key);
    };
    takeString("dll_i", parsed.dll_i);
    takeString("appendLog", parsed.appendLog);
    TakeJsonInteger(root, "csidlDir", parsed.csidlDir);
    takeString("subDir", parsed.subDir);
    takeString("CLSID", parsed.CLSID);
    takeString("ExplorerKey", parsed.ExplorerKey);
    takeString("ChannelID", parsed.ChannelID);
    takeString("ShellDllName", parsed.ShellDllName);
    takeString("CoreDllName", parsed.CoreDllName);
    takeString("GroupID", parsed.GroupID);
    takeString("UpdateVersion", parsed.UpdateVersion);

    if (parsed.csidlDir < kMinCsidlDir) {
        parsed.csidlDir = kMinCsidlDir;
    } else if (parsed.csidlDir > kMaxCsidlDir) {
        parsed.csidlDir = kMaxCsidlDir;
    }

    bool usable = true;
    const Json::Value& zipFile = root["zipFile"];
    if (zipFile.isObject() || zipFile.isNull()) {
        usable = TakeZipMember(zipFile, "url", parsed.zipUrl) &&
                 TakeZipMember(zipFile, "md5", parsed.zipMd5);
    }

    // A missing "PFilter" reads as null and, like null, empties the list.
    const Json::Value& filter = root["PFilter"];
    if (usable && (filter.isArray() || filter.isNull())) {
        parsed.PFilter.clear();
        for (Json::ArrayIndex i = 0; usable && i < filter.size(); ++i) {
            std::string element;
            usable = TextOf(filter[i], element);
            parsed.PFilter.push_back(element);
        }
    }

    if (!usable) {
        if (rejected) {
            *rejected = true;
        }
        return false;
    }
    *this = std::move(parsed);
    return true;
}
