#include "base/FileOperations.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>

#include "base/DeleteGuard.h"
#include "base/FileIdentity.h"
#include "base/FolderLinks.h"
#include "base/PathString.h"
#include "base/ScopedHandle.h"
#include "base/TextCase.h"
#include "base/TextConvert.h"

namespace {

// Flags of the shell delete that finishes a folder-tree delete: no dialog of
// any kind, so that a failure cannot block an unattended install.
constexpr FILEOP_FLAGS kTreeDeleteFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
static_assert(kTreeDeleteFlags == 0x0414, "tree delete flags");

// Shell operations take a list that ends in two NULs.
constexpr size_t kShellListBufferSize = MAX_PATH + 2;

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Length of the text without its trailing separators. The text is walked
// character by character so that the trail byte of a double-byte character
// (which may have the value of '\') is never taken for a separator.
size_t LengthWithoutTrailingSeparators(const std::string& text) {
    size_t keep = 0;
    size_t i = 0;
    while (i < text.size()) {
        if (IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size()) {
            i += 2;
            keep = i;
        } else {
            if (!IsSeparator(text[i]))
                keep = i + 1;
            ++i;
        }
    }
    return keep;
}

bool EndsWithSeparator(const std::string& text) {
    return !text.empty() && LengthWithoutTrailingSeparators(text) != text.size();
}

// Deletes what is left of an aside file now, or queues it for deletion at
// restart when it cannot go yet. Only a file that is still there is queued:
// a name queued after it was freed could be taken by another file before
// the restart.
void DeleteNowOrAtRestart(const char* file) {
    if (DeleteFileA(file) || !Exists(file))
        return;
    MoveFileExA(file, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

// Deletes the file or renames it to its aside name "<file>.<tick>.del".
// Returns true when the file was renamed and `aside` holds the new name;
// false when it is gone (or was never there) or could not be moved at all.
bool DeleteOrRenameToAside(const char* file, char (&aside)[kPathBufferSize]) {
    if (file == nullptr || !Exists(file))
        return false;
    if (DeleteFileA(file))
        return false;
    const int tick = static_cast<int>(GetTickCount());
    if (FormatToPathBuffer(aside, kPathBufferSize, "%s.%d.del", file, tick) < 0)
        return false;  // the aside name does not fit: the file stays
    return MoveFileA(file, aside) != FALSE;
}

// Whether the two names reach one file. The file system decides where both
// can be opened, whatever the spelling (case, short names, separators);
// otherwise the full names are compared as text.
bool NameTheSameFile(const char* first, const char* second) {
    if (IsSameFileObject(AnsiToWide(first), AnsiToWide(second)))
        return true;
    char fullFirst[kPathBufferSize] = {};
    char fullSecond[kPathBufferSize] = {};
    const DWORD firstLength = GetFullPathNameA(first, kPathBufferSize, fullFirst, nullptr);
    const DWORD secondLength = GetFullPathNameA(second, kPathBufferSize, fullSecond, nullptr);
    return firstLength > 0 && firstLength < kPathBufferSize && secondLength > 0 &&
           secondLength < kPathBufferSize && lstrcmpiA(fullFirst, fullSecond) == 0;
}

// Windows reports a folder name that matches nothing as "file not found";
// a folder that is not there gives "path not found".
bool ListedNothing(const std::string& folder) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
        return false;
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsDotEntry(const char* name) {
    return strcmp(name, ".") == 0 || strcmp(name, "..") == 0;
}

bool IsFolderEntry(const WIN32_FIND_DATAA& data) {
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// A link to a folder (a reparse point): the tree operations never enter
// one, and remove only the link itself.
bool IsFolderLinkEntry(const WIN32_FIND_DATAA& data) {
    return IsFolderEntry(data) && (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// What a tree walk collects: with `extensions` null every file, otherwise
// the files whose names have a "." and, unless the list is empty, one of
// the (lower-case) extensions. Links to folders go to `links` when it is
// set ("<folder>\<name>", no trailing separator), and nowhere otherwise.
struct TreeWalk {
    std::vector<std::string>& folders;
    std::vector<std::string>& files;
    const std::vector<std::string>* extensions;
    bool includeHidden;
    std::vector<std::string>* links;
};

bool WantsFile(const TreeWalk& walk, const char* name) {
    if (walk.extensions == nullptr)
        return true;
    // '.' never occurs as a trail byte, so a plain search is safe here.
    const char* dot = strrchr(name, '.');
    if (dot == nullptr)
        return false;
    return walk.extensions->empty() || std::find(walk.extensions->begin(), walk.extensions->end(),
                                                 ToLowerDbcs(dot + 1)) != walk.extensions->end();
}

// Lists one level of `folder` (normalised) and descends into each
// sub-folder right after listing it. False when the level cannot be listed.
bool WalkFolderLevel(const std::string& folder, TreeWalk& walk) {
    WIN32_FIND_DATAA data;
    ScopedFind find(FindFirstFileA((folder + "*.*").c_str(), &data));
    if (!find.IsValid())
        return false;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0 && !walk.includeHidden)
            continue;
        if (IsFolderLinkEntry(data)) {
            if (walk.links != nullptr)
                walk.links->push_back(folder + data.cFileName);
        } else if (IsFolderEntry(data)) {
            if (IsDotEntry(data.cFileName))
                continue;
            const std::string subFolder = folder + data.cFileName + "\\";
            walk.folders.push_back(subFolder);
            WalkFolderLevel(subFolder, walk);
        } else if (WantsFile(walk, data.cFileName)) {
            walk.files.push_back(folder + data.cFileName);
        }
    } while (FindNextFileA(find.Get(), &data));
    return true;
}

// The narrow shell delete that finishes DeleteFolderTree; the caller makes
// sure that the tree holds no link.
void ShellDeleteTree(const std::string& folder) {
    const std::string path = folder.substr(0, LengthWithoutTrailingSeparators(folder));
    if (path.empty() || path.size() >= MAX_PATH)
        return;
    char from[kShellListBufferSize] = {};
    path.copy(from, path.size());
    SHFILEOPSTRUCTA operation = {};
    operation.hwnd = nullptr;
    operation.wFunc = FO_DELETE;
    operation.pFrom = from;
    operation.pTo = nullptr;
    operation.fFlags = kTreeDeleteFlags;
    operation.lpszProgressTitle = nullptr;
    SHFileOperationA(&operation);
}

// The wide form of a narrow path; empty when it does not convert.
std::wstring WidePath(const std::string& path) {
    return path.empty() ? std::wstring() : AnsiToWide(path);
}

// A folder that a tree delete may start from: it passes IsDeletableTarget
// and is no link, whose tree would be what the link points to.
bool IsDeletableTreeTop(const std::string& folder) {
    const std::wstring wide = WidePath(folder);
    return IsDeletableTarget(wide) && !IsLinkPath(StripTrailingSeparators(wide));
}

// RemoveFolderTree below its checks: files first, then each sub-folder (a
// link removed as itself), then the folder; stops at the first failure.
bool RemoveFolderLevels(const std::string& folder) {
    std::vector<std::string> files;
    if (!ListFolderFiles(folder, std::string(), files))
        return false;
    for (const std::string& file : files) {
        if (!DeleteFileA(file.c_str()))
            return false;
    }
    std::vector<std::string> folders;
    if (!ListSubFolders(folder, folders))
        return false;
    for (const std::string& subFolder : folders) {
        const std::wstring wide = StripTrailingSeparators(WidePath(subFolder));
        const bool removed =
            IsLinkPath(wide) ? RemoveLinkItself(wide) : RemoveFolderLevels(subFolder);
        if (!removed)
            return false;
    }
    return RemoveDirectoryA(folder.c_str()) != FALSE;
}

// Whether the folder tree can go to the shell's delete: every folder of it
// listed, and no link found.
bool IsFreeOfLinks(const std::string& folder) {
    std::vector<std::wstring> links;
    return FindTreeLinks(WidePath(folder), links) && links.empty();
}

}  // namespace

std::string NormalizeFolderName(const std::string& folder) {
    std::string result = folder.substr(0, LengthWithoutTrailingSeparators(folder));
    size_t i = 0;
    while (i < result.size()) {
        if (IsDBCSLeadByte(static_cast<BYTE>(result[i])) && i + 1 < result.size()) {
            i += 2;
            continue;
        }
        if (result[i] == '/')
            result[i] = '\\';
        ++i;
    }
    result += '\\';
    return result;
}

bool IsTreeRootFolder(const std::string& folder) {
    const std::string normalized = NormalizeFolderName(folder);
    if (normalized == "\\")
        return true;
    if (normalized.size() == 3 && normalized[1] == ':')
        return true;
    if (normalized.compare(0, 2, "\\\\") == 0) {
        // "\\server\share\" and anything shorter.
        const auto separators = std::count(normalized.begin() + 2, normalized.end(), '\\');
        return separators <= 2;
    }
    return false;
}

bool DeleteFileOrRenameAside(const char* file) {
    char aside[kPathBufferSize] = {};
    if (DeleteOrRenameToAside(file, aside))
        DeleteNowOrAtRestart(aside);
    return true;
}

bool DeleteFileOrMoveAside(const char* file) {
    char aside[kPathBufferSize] = {};
    if (!DeleteOrRenameToAside(file, aside))
        return true;

    // Try to move the aside file out of the tree onto a fresh temporary
    // name. The naming call creates that file empty and the move never
    // replaces, so the aside file normally stays where it is; the empty
    // temporary file is removed again below.
    char tempFolder[kPathBufferSize] = {};
    char tempFile[kPathBufferSize] = {};
    const DWORD length = GetTempPathA(kPathBufferSize, tempFolder);
    const bool haveTemp = length > 0 && length < kPathBufferSize &&
                          GetTempFileNameA(tempFolder, "pu", 0, tempFile) != 0;
    if (haveTemp)
        MoveFileA(aside, tempFile);

    DeleteNowOrAtRestart(aside);
    if (haveTemp)
        DeleteNowOrAtRestart(tempFile);
    return true;
}

bool CopyFileWithRetry(const char* destination, const char* source) {
    if (destination == nullptr || source == nullptr || *destination == '\0' || *source == '\0')
        return false;
    if (!Exists(source))
        return false;

    // Copying a file onto itself must not delete it first.
    if (NameTheSameFile(destination, source))
        return true;

    for (int attempt = 0; attempt < 3; ++attempt) {
        if (Exists(destination)) {
            DeleteFileOrRenameAside(destination);
            Sleep(2);
        }
        // Only a copy that succeeded counts: a destination that could be
        // neither replaced nor moved aside still exists with its old
        // content.
        const BOOL copied = CopyFileA(source, destination, FALSE);
        Sleep(2);
        if (copied && Exists(destination))
            return true;
    }
    return false;
}

bool ListFolderFiles(const std::string& folder,
                     const std::string& extension,
                     std::vector<std::string>& files) {
    std::string pattern = folder;
    if (!EndsWithSeparator(pattern))
        pattern += '\\';
    pattern += '*';
    if (extension.empty())
        pattern += ".*";
    else if (extension.find('.') == std::string::npos)
        pattern += "." + extension;
    else
        pattern += extension;

    WIN32_FIND_DATAA data;
    ScopedFind find(FindFirstFileA(pattern.c_str(), &data));
    if (!find.IsValid())
        return ListedNothing(folder);
    const std::string prefix = NormalizeFolderName(folder);
    do {
        if (!IsFolderEntry(data))
            files.push_back(prefix + data.cFileName);
    } while (FindNextFileA(find.Get(), &data));
    return true;
}

bool ListSubFolders(const std::string& folder, std::vector<std::string>& folders) {
    const std::string prefix = NormalizeFolderName(folder);
    WIN32_FIND_DATAA data;
    ScopedFind find(FindFirstFileA((prefix + "*.*").c_str(), &data));
    if (!find.IsValid())
        return ListedNothing(folder);
    do {
        if (IsFolderEntry(data) && !IsDotEntry(data.cFileName))
            folders.push_back(prefix + data.cFileName + "\\");
    } while (FindNextFileA(find.Get(), &data));
    return true;
}

bool EnumFolderTree(const std::string& folder,
                    std::vector<std::string>& folders,
                    std::vector<std::string>& files,
                    const std::vector<std::string>& extensions,
                    bool includeHidden) {
    std::vector<std::string> lowered;
    lowered.reserve(extensions.size());
    for (const std::string& extension : extensions)
        lowered.push_back(ToLowerDbcs(extension));
    TreeWalk walk{folders, files, &lowered, includeHidden, nullptr};
    return WalkFolderLevel(NormalizeFolderName(folder), walk);
}

bool RemoveFolderTree(const std::string& folder) {
    if (!IsDeletableTreeTop(folder))
        return false;
    return RemoveFolderLevels(folder);
}

bool DeleteFolderTree(const std::string& folder) {
    if (!IsDeletableTreeTop(folder))
        return false;
    // Every file goes, hidden or not, with or without an extension; what is
    // in use goes aside. Then the links, each as itself, and the folders,
    // deepest first: once emptied they can be removed even where something
    // else in the tree stays.
    std::vector<std::string> folders;
    std::vector<std::string> files;
    std::vector<std::string> links;
    TreeWalk walk{folders, files, nullptr, true, &links};
    WalkFolderLevel(NormalizeFolderName(folder), walk);
    for (const std::string& file : files)
        DeleteFileOrMoveAside(file.c_str());
    for (const std::string& link : links)
        RemoveLinkItself(WidePath(link));
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        RemoveDirectoryA(it->c_str());
    RemoveFolderLevels(folder);
    // The shell gets what is left only when no link is among it.
    if (Exists(folder.c_str()) && IsFreeOfLinks(folder))
        ShellDeleteTree(folder);
    return !Exists(folder.c_str());
}
