// Writes to an INI file that a kill cannot leave half-written: the entries
// go into a copy of the file beside it, are read back, and the copy then
// replaces the file in one step (MoveFileExW with REPLACE_EXISTING and
// WRITE_THROUGH). The file stays the INI file the profile functions read.
// Installer library only.
#pragma once

#include <string>
#include <vector>

struct IniEntry {
    std::string section;
    std::string key;
    std::string value;
    bool remove = false;  // removes the key instead
};

// Applies the entries to `file` (created when missing), keeping everything
// else in it. False when the file exists but is read-only or cannot be
// read, a write or its read-back fails, or the replacement fails: the file
// is then as it was.
bool ReplaceIniEntries(const std::wstring& file, const std::vector<IniEntry>& entries);

// True for the name ReplaceIniEntries gives its copy: "rv", twelve
// hexadecimal digits, ".ini.new".
bool IsIniCopyName(const std::wstring& name);

// Deletes the copies that writes cut short (a killed process) left
// directly in `folder`: files of that name only, each as itself, never
// what a link there leads to.
void RemoveLeftoverIniCopies(const std::wstring& folder);
