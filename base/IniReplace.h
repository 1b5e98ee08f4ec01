// Writes to an INI file that a kill cannot leave half-written: the entries
// go into a copy of the file beside it, are read back, and the copy then
// replaces the file in one step (renamed over it through its own handle,
// its data flushed first). The file stays the INI file the profile
// functions read. Everything is done by handle where the writer runs
// elevated and the folder is open to every user: the folder is held for
// the whole write, the file is read through a handle on itself, and the
// copy is held while it is written. Installer library only.
#pragma once

#include <string>
#include <vector>

struct IniEntry {
    std::string section;
    std::string key;
    std::string value;
    bool remove = false;  // removes the key instead
};

// Applies the entries to `file` (a full path; created when missing),
// keeping everything else in it. False when the file's folder is not a
// plain folder at its name (a link, or below a swapped one), when the file
// exists but is a link, read-only or cannot be read, when a write or its
// read-back fails, or when the replacement fails: the file is then as it
// was.
bool ReplaceIniEntries(const std::wstring& file, const std::vector<IniEntry>& entries);

// True for the name ReplaceIniEntries gives its copy: "rv", twelve
// hexadecimal digits, ".ini.new".
bool IsIniCopyName(const std::wstring& name);

// Deletes the copies that writes cut short (a killed process) left
// directly in `folder`: files of that name only, each as itself, never
// what a link there leads to.
void RemoveLeftoverIniCopies(const std::wstring& folder);
