#include "diagnostics/LogFileRules.h"

#include <algorithm>

namespace {

constexpr char kAppenderPrefix[] = "log4cplus.appender.";
constexpr char kVariableStart[] = "${";

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

wchar_t AsciiUpper(wchar_t c) {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool EqualNames(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return AsciiUpper(x) == AsciiUpper(y); });
}

// The names of a path with "." and ".." applied; false when ".." would take
// the first name away.
bool PathNames(const std::wstring& path, std::vector<std::wstring>& names) {
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        const std::wstring name = path.substr(start, end - start);
        if (name == L"..") {
            if (names.size() < 2)
                return false;
            names.pop_back();
        } else if (!name.empty() && name != L".") {
            names.push_back(name);
        }
        start = end + 1;
    }
    return true;
}

bool IsConversionCharacter(char c) {
    return ((c >= 'a' && c <= 'y') || (c >= 'A' && c <= 'Y') || (c >= '0' && c <= '9'));
}

// The pattern without its date conversions; false for a conversion that
// could add a dot, a separator or text from the environment. What the
// allowed ones add is letters and digits (with '/', ':' and blanks between
// digits for "%c", "%x" and "%X"), never a name made only of dots: the
// text left decides where the file can go.
bool WithoutConversions(const std::string& pattern, std::string& rest) {
    rest.clear();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%') {
            rest += pattern[i];
            continue;
        }
        if (i + 1 >= pattern.size() || !IsConversionCharacter(pattern[i + 1]))
            return false;
        ++i;
        if (pattern[i] != 'd' || i + 1 >= pattern.size() || pattern[i + 1] != '{')
            continue;
        const size_t close = pattern.find('}', i + 2);
        if (close == std::string::npos)
            return false;
        for (size_t j = i + 2; j < close; ++j) {
            if (!IsConversionCharacter(pattern[j]) && pattern[j] != '-' && pattern[j] != '_')
                return false;
        }
        i = close;
    }
    return true;
}

// Why the value of the property whose key ends in `last` may write outside;
// empty when it may not.
std::string ValueRefusal(const std::string& last,
                         const std::string& value,
                         const std::function<bool(const std::string&)>& isPermittedPath) {
    const bool pattern = last == "FilenamePattern" || last == "DatePattern";
    if (!pattern && last != "File" && last != "LockFile")
        return std::string();
    const std::string quoted = last + " \"" + value + "\"";
    if (value.find(kVariableStart) != std::string::npos)
        return quoted + " holds ${";
    std::string text = value;
    if (pattern && !WithoutConversions(value, text))
        return quoted + " holds a date conversion that may name another folder";
    if (last == "DatePattern")
        return text.find_first_of("\\/") == std::string::npos ? std::string()
                                                              : quoted + " may name another folder";
    return isPermittedPath(text) ? std::string() : quoted + " is not below the local data folder";
}

}  // namespace

bool IsPathBelowFolder(const std::wstring& path, const std::wstring& folder) {
    std::vector<std::wstring> inner, outer;
    if (!PathNames(path, inner) || !PathNames(folder, outer) || outer.empty() ||
        inner.size() <= outer.size())
        return false;
    return std::equal(outer.begin(), outer.end(), inner.begin(), EqualNames);
}

std::vector<LogConfigDrop> LogConfigDrops(
    const std::vector<std::pair<std::string, std::string>>& properties,
    const std::function<bool(const std::string&)>& isPermittedPath) {
    std::vector<LogConfigDrop> drops;
    const std::string appenders(kAppenderPrefix);
    for (const auto& property : properties) {
        const std::string& key = property.first;
        const bool variableKey = key.find(kVariableStart) != std::string::npos;
        std::string prefix = key, reason;
        if (key.compare(0, appenders.size(), appenders) == 0) {
            // "log4cplus.appender.<name>" alone names the class.
            const size_t nameEnd = key.find('.', appenders.size());
            if (nameEnd != std::string::npos)
                prefix = key.substr(0, nameEnd);
            if (variableKey)
                reason = "the property name " + key + " holds ${";
            else if (nameEnd != std::string::npos)
                reason =
                    ValueRefusal(key.substr(key.rfind('.') + 1), property.second, isPermittedPath);
        } else if (variableKey) {
            reason = "its name holds ${";
        }
        const bool known = std::any_of(drops.begin(), drops.end(), [&](const LogConfigDrop& drop) {
            return IsDropped(key, drop);
        });
        if (!reason.empty() && !known)
            drops.push_back({prefix, reason});
    }
    return drops;
}

bool IsDropped(const std::string& key, const LogConfigDrop& drop) {
    return key.compare(0, drop.prefix.size(), drop.prefix) == 0 &&
           (key.size() == drop.prefix.size() || key[drop.prefix.size()] == '.');
}
