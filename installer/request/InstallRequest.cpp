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
}

bool InstallRequest::Parse(const std::string& text, bool* rejected) {
    if (rejected) {
        *rejected = false;
    }
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
    TakeJsonString(root, "dll_i", parsed.dll_i);
    TakeJsonString(root, "appendLog", parsed.appendLog);
    TakeJsonInteger(root, "csidlDir", parsed.csidlDir);
    TakeJsonString(root, "subDir", parsed.subDir);
    TakeJsonString(root, "CLSID", parsed.CLSID);
    TakeJsonString(root, "ExplorerKey", parsed.ExplorerKey);
    TakeJsonString(root, "ChannelID", parsed.ChannelID);
    TakeJsonString(root, "ShellDllName", parsed.ShellDllName);
    TakeJsonString(root, "CoreDllName", parsed.CoreDllName);
    TakeJsonString(root, "GroupID", parsed.GroupID);
    TakeJsonString(root, "UpdateVersion", parsed.UpdateVersion);

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
