#include "base/FileOperations.h"

#include <windows.h>

#include <vector>

#include "base/FileDigest.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/ScopedHandle.h"
#include "base/TextConvert.h"
#include "base/tree/FileData.h"
#include "base/tree/FileIdentity.h"
#include "base/tree/TreeWalk.h"

namespace {

// The wide form of a narrow path; empty when it does not convert.
std::wstring WidePath(const std::string& path) {
    return path.empty() ? std::wstring() : AnsiToWide(path);
}

bool Exists(const char* path) {
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
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

constexpr DWORD kWriteThrough = MOVEFILE_WRITE_THROUGH;
constexpr DWORD kReplaceFlags = MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH;

// Frees the name of a file in use (a loaded module cannot be replaced, but
// can be renamed): renames it to "<name>.<tick>.del", which goes now or at
// restart. True when the name is free.
bool RenameAside(const char* file) {
    char aside[kPathBufferSize] = {};
    const int tick = static_cast<int>(GetTickCount());
    if (!Exists(file) || FormatToPathBuffer(aside, kPathBufferSize, "%s.%d.del", file, tick) < 0 ||
        !MoveFileA(file, aside))
        return false;
    DeleteNowOrAtRestart(aside);
    return true;
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

}  // namespace

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

namespace {

// Writes a file under a fresh name beside the destination (`writeFresh`
// creates it there) and renames it onto the destination. An existing
// destination is replaced as a name, never written or deleted through: a
// link planted at that name (which Wine 8 shows as the file it points to,
// and deletes the target of) keeps its target as it was. Up to three
// attempts.
template <typename WriteFresh>
bool PlaceOverDestination(const char* destination, WriteFresh writeFresh) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        // A short name, so that it fits wherever the destination does.
        char name[32] = {};
        FormatToPathBuffer(name, sizeof(name), "rv%08lX%d.new", GetTickCount(), attempt);
        const std::string fresh =
            WideToAnsi(JoinPath(ParentPath(WidePath(destination)), WidePath(name)));
        if (fresh.size() >= kPathBufferSize)
            return false;
        if (writeFresh(fresh)) {
            if (MoveFileExA(fresh.c_str(), destination, kReplaceFlags) ||
                (RenameAside(destination) &&
                 MoveFileExA(fresh.c_str(), destination, kWriteThrough)))
                return true;
            DeleteFileA(fresh.c_str());
        }
        Sleep(2);
    }
    return false;
}

constexpr DWORD kCopyChunk = 1 << 20;

// Copies what `source` holds, from its start, into `target`, feeding every
// byte to the digest when there is one.
bool CopyContent(HANDLE source, HANDLE target, Sha256Digest* digest) {
    LARGE_INTEGER start = {};
    if (!SetFilePointerEx(source, start, nullptr, FILE_BEGIN))
        return false;
    std::vector<BYTE> buffer(kCopyChunk);
    return CopyFileData(source, target, buffer, digest) && FlushFileBuffers(target) != FALSE;
}

// A new file `fresh` with the content of `source`; nothing is left under
// that name when the copy fails.
bool CopyOpenFileTo(HANDLE source, const std::string& fresh, Sha256Digest* digest) {
    bool copied = false;
    {
        ScopedFile target(CreateFileA(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!target)
            return false;
        copied = CopyContent(source, target.Get(), digest);
    }
    if (!copied)
        DeleteFileA(fresh.c_str());
    return copied;
}

}  // namespace

bool CopyFileWithRetry(const char* destination, const char* source) {
    if (destination == nullptr || source == nullptr || *destination == '\0' || *source == '\0')
        return false;
    if (!Exists(source))
        return false;

    // Copying a file onto itself must not delete it first.
    if (NameTheSameFile(destination, source))
        return true;
    return PlaceOverDestination(destination, [&](const std::string& fresh) {
        return CopyFileA(source, fresh.c_str(), TRUE) != FALSE;
    });
}

bool CopyOpenFile(HANDLE source, const char* destination, std::string* digest) {
    if (destination == nullptr || *destination == '\0' || source == INVALID_HANDLE_VALUE)
        return false;
    std::string text;
    const bool placed = PlaceOverDestination(destination, [&](const std::string& fresh) {
        // Each attempt hashes the bytes it copies afresh.
        Sha256Digest hash;
        if (!CopyOpenFileTo(source, fresh, digest != nullptr ? &hash : nullptr))
            return false;
        if (digest == nullptr)
            return true;
        text = hash.Finish();
        if (text.empty())
            DeleteFileA(fresh.c_str());
        return !text.empty();
    });
    if (placed && digest != nullptr)
        *digest = text;
    return placed;
}

bool DeleteFolderTree(const std::string& folder) {
    // Every file goes, hidden or not, whatever its name; what is in use is
    // renamed aside and queued for deletion at restart. Folders go once
    // emptied, even where something else in the tree stays.
    const std::wstring wide = WidePath(folder);
    if (wide.empty())
        return false;
    TreeDeleteOptions options;
    options.renameInUseAside = true;
    return DeleteTree(wide, options) && !PathExists(wide);
}
