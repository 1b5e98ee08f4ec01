// The launcher's command line as a table of switches.
//
// A switch starts at "-" or "/" and its key runs to the next space or ":".
// After a ":" comes the value: up to the next space, or, when it starts with
// a double quote, up to the next double quote (the quotes are dropped).
// Keys are stored lower-cased (A-Z only) and the first occurrence of a key
// wins. Pure text code, free of the Windows headers.
#pragma once

#include <map>
#include <string>

class CCmdLineParser {
public:
    CCmdLineParser() = default;
    virtual ~CCmdLineParser() = default;

    CCmdLineParser(const CCmdLineParser&) = delete;
    CCmdLineParser& operator=(const CCmdLineParser&) = delete;

    // Replaces the table with the switches of the text; null leaves the
    // parser unchanged.
    void ParseCommandLine(const wchar_t* commandLine);

    // Key names are matched without regard to the case of A-Z.
    bool HasKey(const wchar_t* name) const;
    // The value of the key, or null when it is absent. The text belongs to
    // the parser and stays valid until the next ParseCommandLine.
    const wchar_t* GetValue(const wchar_t* name) const;

private:
    void Insert(const std::wstring& key, const std::wstring& value);

    std::wstring m_strCmdLine;
    // Ordered by the plain UTF-16 code unit values.
    std::map<std::wstring, std::wstring> m_mapSwitches;
};
