// One INI file bound to a path, read through the Windows profile functions.
// Sections, keys and values are narrow (ANSI) in the installer library,
// UTF-16 in the launcher. The file is named by its UTF-16 path in both, so
// that a profile folder the ANSI code page cannot name still works; the
// file's contents stay ANSI text either way.
#pragma once

#include <string>

#include "base/RvText.h"

class CAtlIniExt {
public:
    CAtlIniExt() = default;
    explicit CAtlIniExt(const std::wstring& path);
    // Flushes the system's cached copy of the file.
    virtual ~CAtlIniExt();

    CAtlIniExt(const CAtlIniExt&) = delete;
    CAtlIniExt& operator=(const CAtlIniExt&) = delete;

    // Binds the file; true when the stored name is not empty.
    bool SetFileName(const std::wstring& path);
    const RvString& GetFileName() const { return m_strFileName; }
    const std::wstring& GetPath() const { return m_strPath; }

    // The value, or the default (empty for null) when the key is missing or
    // its value is empty. An unbound object gives empty text.
    RvString GetString(const RvChar* section,
                       const RvChar* key,
                       const RvChar* defaultValue = nullptr) const;
    // The value as a decimal integer; 0 from an unbound object.
    int GetInt(const RvChar* section, const RvChar* key, int defaultValue) const;
    // Writes the value (a null value removes the key); false when the write
    // failed or no file is bound.
    bool WriteString(const RvChar* section, const RvChar* key, const RvChar* value) const;

    // Size of the read buffer: values come back cut to 299 characters.
    static constexpr unsigned kValueBufferSize = 300;

private:
    RvString m_strFileName;
    std::wstring m_strPath;
};
