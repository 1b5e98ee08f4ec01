#include "base/IniReplace.h"

#include <windows.h>

#include <cstdio>

#include "base/KillPoint.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ScopedHandle.h"
#include "base/TextConvert.h"
#include "base/tree/EntryHandle.h"
#include "base/tree/FileData.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/HeldFolder.h"
#include "base/tree/ProtectedFolders.h"
#include "base/tree/TreeWalk.h"

namespace {

// A fresh name in the file's folder, short enough to fit wherever the file
// does.
std::wstring FreshNameBeside(const std::wstring& file) {
    static LONG counter = 0;
    wchar_t name[40] = {};
    std::swprintf(name, 40, L"rv%08lX%04lX.ini.new", GetTickCount(),
                  static_cast<unsigned long>(InterlockedIncrement(&counter) & 0xFFFF));
    return JoinPath(ParentPath(file), name);
}

// What the profile functions read back for a written value: without the
// blanks around it, and without one pair of quotes around what is left.
std::string AsReadBack(const std::string& value) {
    const size_t first = value.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    std::string text = value.substr(first, value.find_last_not_of(" \t") - first + 1);
    if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
        text.back() == text.front())
        text = text.substr(1, text.size() - 2);
    return text;
}

// The file is named in UTF-16 (its folder may lie in a profile the ANSI
// code page cannot name); the text is ANSI, and the profile functions keep
// the file's contents in the ANSI code page.
bool WriteAndCheck(const std::wstring& file, const IniEntry& entry) {
    std::wstring section, key, value;
    if (!AnsiToWideExact(entry.section, section) || !AnsiToWideExact(entry.key, key) ||
        !AnsiToWideExact(entry.value, value))
        return false;
    if (!WritePrivateProfileStringW(section.c_str(), key.c_str(),
                                    entry.remove ? nullptr : value.c_str(), file.c_str()))
        return false;
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    // The profile functions can report success for a write the disk did not
    // take; what counts is what reads back.
    std::wstring read(value.size() + 2, L'\0');
    const DWORD length = GetPrivateProfileStringW(section.c_str(), key.c_str(), L"\x01", &read[0],
                                                  static_cast<DWORD>(read.size()), file.c_str());
    read.resize(length);
    if (entry.remove)
        return read == L"\x01";
    const std::string expected = AsReadBack(entry.value);
    return WideToAnsi(read) == expected || (expected.empty() && read == L"\x01");
}

bool IsObject(EntryHandle& handle, const FileObjectId& id) {
    FileObjectId opened;
    return handle.ReadId(opened) && opened == id;
}

// Creates `copy` (extended form) anew, holding the contents of `target`
// when that is there. The target is read through a handle on itself: a
// link there (a reparse point, a Unix link named elsewhere, a second name
// of another file) is refused, never read, as is a read-only file, which
// Windows would not let the copy replace.
bool CreateCopyOf(const std::wstring& target, const std::wstring& copy, FileObjectId& copyId) {
    EntryHandle source;
    const bool exists = source.Open(target, GENERIC_READ);
    if (!exists && GetLastError() != ERROR_FILE_NOT_FOUND)
        return false;
    if (exists &&
        (source.IsFolder() || source.IsLink() || source.IsNamedElsewhere(WithoutVolume(target)) ||
         source.LinkCount() != 1 || (source.Attributes() & FILE_ATTRIBUTE_READONLY) != 0)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    EntryHandle created;
    if (!created.CreateNew(copy, GENERIC_WRITE | FILE_READ_ATTRIBUTES) || !created.ReadId(copyId))
        return false;
    std::vector<BYTE> buffer(64 * 1024);
    const bool complete = !exists || CopyFileData(source.Get(), created.Get(), buffer);
    if (!complete) {
        const DWORD error = GetLastError();
        created.Close();
        DeleteTree(copy, TreeDeleteOptions());
        SetLastError(error);
    }
    return complete;
}

}  // namespace

bool ReplaceIniEntries(const std::wstring& file, const std::vector<IniEntry>& entries) {
    const std::wstring fresh = FreshNameBeside(file);
    if (file.empty() || fresh.size() >= MAX_PATH)
        return false;
    // The folder is checked and held by handle for the whole write: a link
    // planted there, or the folder swapped for one, never takes the writes
    // elsewhere.
    HeldFolder folder;
    if (!folder.Hold(ParentPath(file))) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const std::wstring target = ExtendedPath(FullFolderPath(file));
    const std::wstring copy = ExtendedPath(FullFolderPath(fresh));
    FileObjectId copyId;
    if (target.empty() || copy.empty() || !CreateCopyOf(target, copy, copyId))
        return false;
    // The copy is written by name while a handle keeps it from being
    // renamed or deleted (the profile functions open it beside that handle).
    EntryHandle held;
    bool written = held.Open(copy, 0) && IsObject(held, copyId);
    for (const IniEntry& entry : entries)
        written = written && WriteAndCheck(fresh, entry);
    KillPoint("ini written");
    held.Close();
    EntryHandle mover;
    const bool moved = written && mover.Open(copy, GENERIC_WRITE | DELETE) &&
                       IsObject(mover, copyId) && FlushFileBuffers(mover.Get()) &&
                       mover.RenameTo(target, true);
    if (moved)
        return true;
    const DWORD error = GetLastError();
    if (mover.IsOpen() && IsObject(mover, copyId))
        mover.MarkForDeletion();
    else
        DeleteTree(copy, TreeDeleteOptions());
    SetLastError(error);
    return false;
}

bool IsIniCopyName(const std::wstring& name) {
    constexpr size_t kDigits = 12;
    const std::wstring prefix = L"rv", suffix = L".ini.new";
    if (name.size() != prefix.size() + kDigits + suffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(prefix.size() + kDigits, suffix.size(), suffix) != 0)
        return false;
    for (size_t i = prefix.size(); i < prefix.size() + kDigits; ++i) {
        const wchar_t c = name[i];
        if (!((c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F')))
            return false;
    }
    return true;
}

void RemoveLeftoverIniCopies(const std::wstring& folder) {
    if (folder.empty() || IsLinkPath(folder))
        return;
    WIN32_FIND_DATAW data;
    std::vector<std::wstring> copies;
    {
        ScopedFind find(FindFirstFileW(JoinPath(folder, L"rv*.ini.new").c_str(), &data));
        if (!find.IsValid())
            return;
        do {
            if ((data.dwFileAttributes &
                 (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                IsIniCopyName(data.cFileName))
                copies.push_back(JoinPath(folder, data.cFileName));
        } while (FindNextFileW(find.Get(), &data));
    }
    for (const std::wstring& copy : copies)
        DeleteTree(copy, TreeDeleteOptions());
}
