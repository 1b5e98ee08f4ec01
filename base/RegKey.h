// An open registry key that remembers the registry view it was opened in,
// so that a sub-key is deleted in that same view. Installer library only.
#pragma once

#include <windows.h>

#include <string>

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Opens `path` below `parent` with `access`. On success the key held so
    // far is closed and replaced; on failure the object keeps what it held.
    // Returns the registry's result code (0 on success).
    LONG Open(HKEY parent, const std::string& path, REGSAM access);

    // Deletes the sub-key `name` (which must have no sub-keys of its own) in
    // the view the key was opened in. Needs an open key.
    LONG DeleteSubKey(const std::string& name);

    // Closes the key; 0 when nothing was open.
    LONG Close();

    HKEY Handle() const { return m_hKey; }
    REGSAM ViewFlags() const { return m_samView; }

private:
    HKEY m_hKey = nullptr;
    REGSAM m_samView = 0;
};
