#include "base/tree/TreeWalk.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <vector>

#include "base/KillPoint.h"
#include "base/PathFileSystem.h"
#include "base/PathString.h"
#include "base/tree/DeleteGuard.h"
#include "base/tree/EntryHandle.h"
#include "base/tree/FileData.h"
#include "base/tree/FolderLinks.h"
#include "base/tree/ProtectedFolders.h"
#include "base/tree/TreeGuard.h"

namespace {

constexpr DWORD kCopyBufferSize = 256 * 1024;
// The attributes a copied file takes over from its source. Not read-only:
// a copy is made to be the product's own data, which it writes again (a
// carried-over record that stayed read-only would silently keep its old
// values).
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                    FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
constexpr char kNotATreePath[] = "not a path a tree operation takes";
constexpr char kLinkTop[] = "a link";
constexpr char kReplacedTop[] = "replaced while it was opened";
constexpr char kSecondName[] = "a file with another name, not copied";

TreeWalkSeam g_seam = nullptr;
void* g_seamContext = nullptr;

void RunSeam(const std::wstring& path) {
    if (g_seam != nullptr)
        g_seam(path, g_seamContext);
}

bool IsMissingError(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Opens with `access`; where the access list refuses part of it, with the
// first of the fallbacks that it grants.
bool OpenEntry(const std::wstring& path, DWORD access, DWORD fallback, EntryHandle& entry) {
    if (entry.Open(path, access))
        return true;
    return GetLastError() == ERROR_ACCESS_DENIED && fallback != access &&
           entry.Open(path, fallback);
}

bool OpenFolder(const std::wstring& path, bool forDelete, EntryHandle& folder) {
    return forDelete ? OpenEntry(path, FILE_LIST_DIRECTORY | DELETE, FILE_LIST_DIRECTORY, folder)
                     : folder.Open(path, FILE_LIST_DIRECTORY);
}

enum class Top { kOpened, kMissing, kFailed };

// Opens the object an operation deletes or moves away: by its full name in
// extended form, itself and not through a link, and only when the guard
// lets it. On Wine a handle on a Unix link is a handle on its target; the
// link still shows when the name is asked for its attributes, and the name
// must reach the very object the handle holds.
Top OpenGuardedTop(const std::wstring& path,
                   DWORD access,
                   DWORD fallback,
                   std::wstring& extended,
                   EntryHandle& top) {
    const std::wstring full = FullFolderPath(path);
    extended = ExtendedPath(full);
    if (!IsDeletableTarget(path) || extended.empty()) {
        TraceTreeRefusal(path, kNotATreePath);
        return Top::kFailed;
    }
    if (!OpenEntry(extended, access, fallback, top))
        return IsMissingError(GetLastError()) ? Top::kMissing : Top::kFailed;
    FileObjectId byName;
    FileObjectId held;
    const char* refusal = nullptr;
    if (top.IsLink() || IsLinkAttributes(GetFileAttributesW(extended.c_str())))
        refusal = kLinkTop;
    else if (!top.ReadId(held) || !ReadFileObjectId(extended, byName) || !(byName == held))
        refusal = kReplacedTop;
    else
        refusal = TreeTargetRefusal(full, held);
    if (refusal == nullptr)
        return Top::kOpened;
    TraceTreeRefusal(full, refusal);
    top.Close();
    return Top::kFailed;
}

// Deletes an opened file through its handle. A read-only file loses that
// attribute first. One that is in use may be renamed aside and queued for
// deletion at restart; it then still stands in its folder.
bool DeleteOpenedFile(const EntryHandle& file,
                      DWORD attributes,
                      const std::wstring& path,
                      bool renameAside) {
    if (file.MarkForDeletion())
        return true;
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        FILE_BASIC_INFO basic = {};
        basic.FileAttributes = (attributes & ~FILE_ATTRIBUTE_READONLY & kCopiedAttributes)
                                   ? (attributes & ~FILE_ATTRIBUTE_READONLY & kCopiedAttributes)
                                   : FILE_ATTRIBUTE_NORMAL;
        if (SetFileInformationByHandle(file.Get(), FileBasicInfo, &basic, sizeof(basic)) &&
            file.MarkForDeletion())
            return true;
    }
    if (!renameAside)
        return false;
    const std::wstring aside =
        path + L"." + std::to_wstring(static_cast<int>(GetTickCount())) + L".del";
    if (!file.RenameTo(aside, false))
        return false;
    if (file.MarkForDeletion())
        return true;
    MoveFileExW(aside.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return false;
}

// Deletes files of one folder by name: a file of the walk's own, made in
// that folder on first use, is renamed over each name to delete, which
// replaces the name whatever it is and never touches what a link leads to
// (Wine lists and opens a Unix link to a file as the file it leads to, and
// a delete through that handle deletes that file). It also asks the file
// system less than opening, marking and closing each file. The placeholder
// is deleted by Finish.
class NameEraser {
public:
    explicit NameEraser(std::wstring folder) : m_folder(std::move(folder)) {}
    NameEraser(const NameEraser&) = delete;
    NameEraser& operator=(const NameEraser&) = delete;
    ~NameEraser() { Finish(); }

    // False where the name cannot be replaced (a file in use or read-only
    // on Windows, a folder): the caller deletes it another way.
    bool Erase(const std::wstring& path) {
        if (!m_placeholder.IsOpen() && !m_bFailed)
            m_bFailed = !Create();
        return !m_bFailed && m_placeholder.RenameTo(path, true);
    }

    // Deletes the placeholder, under whatever name it has now.
    void Finish() {
        if (m_placeholder.IsOpen()) {
            m_placeholder.MarkForDeletion();
            m_placeholder.Close();
        }
    }

private:
    bool Create() {
        static LONG counter = 0;
        wchar_t name[40] = {};
        std::swprintf(name, 40, L"\\rv%08lX%04lX.del", GetTickCount(),
                      static_cast<unsigned long>(InterlockedIncrement(&counter) & 0xFFFF));
        return m_placeholder.CreateNew(m_folder + name, DELETE);
    }

    std::wstring m_folder;
    EntryHandle m_placeholder;
    bool m_bFailed = false;
};

bool OpenFileForDelete(const std::wstring& path, EntryHandle& file) {
    return OpenEntry(path, DELETE | FILE_WRITE_ATTRIBUTES, DELETE, file);
}

// One folder of a delete: its handle, what it listed, how far the walk got.
struct DeleteLevel {
    explicit DeleteLevel(const std::wstring& folderPath) : path(folderPath), eraser(folderPath) {}
    EntryHandle folder;
    std::wstring path;
    NameEraser eraser;
    // The folder's path as the system names it, without the volume; empty
    // when unknown (no entry is then checked against it).
    std::wstring namedPath;
    std::vector<ListedEntry> entries;
    size_t next = 0;
    bool complete = true;
};

std::unique_ptr<DeleteLevel> MakeDeleteLevel(EntryHandle&& folder,
                                             const std::wstring& path,
                                             const std::wstring& namedPath) {
    auto level = std::make_unique<DeleteLevel>(path);
    level->folder = std::move(folder);
    level->namedPath = namedPath;
    level->complete = level->folder.List(level->entries);
    return level;
}

class TreeDeleter {
public:
    explicit TreeDeleter(const TreeDeleteOptions& options) : m_options(options) {}

    // Deletes what the opened folder holds and, unless only its files are
    // asked for, the folder itself.
    bool DeleteFolder(EntryHandle&& top, const std::wstring& path) {
        std::vector<std::unique_ptr<DeleteLevel>> stack;
        const std::wstring named = top.PathWithoutVolume();
        stack.push_back(MakeDeleteLevel(std::move(top), path, named));
        bool all = stack.back()->complete;
        while (!stack.empty()) {
            DeleteLevel& level = *stack.back();
            if (level.next < level.entries.size()) {
                const ListedEntry& entry = level.entries[level.next++];
                std::unique_ptr<DeleteLevel> child;
                if (!DeleteEntry(level, entry, child)) {
                    level.complete = false;
                    all = false;
                }
                if (child) {
                    all = all && child->complete;
                    stack.push_back(std::move(child));
                }
                continue;
            }
            // Every entry handled: an emptied folder goes through its own
            // handle, when that handle is closed.
            const bool keepFolder = m_options.topLevelFilesOnly && stack.size() == 1;
            level.eraser.Finish();
            const bool removed = keepFolder || (level.complete && level.folder.MarkForDeletion());
            stack.pop_back();
            if (!removed) {
                all = false;
                if (!stack.empty())
                    stack.back()->complete = false;
            }
        }
        return all;
    }

private:
    // Acts on one listed entry; a folder to enter comes back in `child`.
    bool DeleteEntry(DeleteLevel& level,
                     const ListedEntry& entry,
                     std::unique_ptr<DeleteLevel>& child) {
        if (m_options.topLevelFilesOnly && entry.IsFolder())
            return true;
        const std::wstring path = level.path + L"\\" + entry.name;
        RunSeam(path);
        KillPoint("tree delete");
        EntryHandle handle;
        if (entry.IsLink()) {
            // Only a handle that holds the link itself removes it; on Wine
            // the handle holds the target, which stays untouched.
            return OpenEntry(path, DELETE, DELETE, handle) && handle.IsLink() &&
                   handle.MarkForDeletion();
        }
        const std::wstring named =
            level.namedPath.empty() ? std::wstring() : level.namedPath + L"\\" + entry.name;
        if (entry.IsFolder()) {
            if (!OpenFolder(path, true, handle) || !handle.IsListedEntry(entry))
                return false;
            child = MakeDeleteLevel(std::move(handle), path, named);
            return true;
        }
        if (level.eraser.Erase(path))
            return true;
        // Not replaceable as a name: deleted through its own handle, unless
        // that handle holds what a link leads to (left then).
        if (!OpenFileForDelete(path, handle) || !handle.IsListedEntry(entry) ||
            handle.IsNamedElsewhere(named))
            return false;
        return DeleteOpenedFile(handle, entry.attributes, path, m_options.renameInUseAside);
    }

    const TreeDeleteOptions& m_options;
};

// One entry of a copy, listed below the source's top folder.
struct CopyEntry {
    std::wstring relative;
    ListedEntry listed;
};

// Lists the source tree by handle, each folder before what it holds; links
// are left out. False when a folder cannot be opened as listed or listed
// completely.
bool ListSourceTree(EntryHandle&& top, const std::wstring& path, std::vector<CopyEntry>& out) {
    struct Level {
        EntryHandle folder;
        std::wstring relative;
        std::vector<ListedEntry> entries;
        size_t next = 0;
    };
    std::vector<std::unique_ptr<Level>> stack;
    stack.push_back(std::make_unique<Level>());
    stack.back()->folder = std::move(top);
    if (!stack.back()->folder.List(stack.back()->entries))
        return false;
    while (!stack.empty()) {
        Level& level = *stack.back();
        if (level.next == level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const ListedEntry& entry = level.entries[level.next++];
        if (entry.IsLink())
            continue;
        CopyEntry copy{level.relative.empty() ? entry.name : level.relative + L"\\" + entry.name,
                       entry};
        if (entry.IsFolder()) {
            auto child = std::make_unique<Level>();
            child->relative = copy.relative;
            if (!OpenFolder(path + L"\\" + copy.relative, false, child->folder) ||
                !child->folder.IsListedEntry(entry) || !child->folder.List(child->entries))
                return false;
            stack.push_back(std::move(child));
        }
        out.push_back(std::move(copy));
    }
    return true;
}

// Creates a folder of the copy and holds it open, so that it stays the
// folder just created while the copy writes into it.
bool CreateCopyFolder(const std::wstring& path, EntryHandle& folder) {
    return CreateDirectoryW(path.c_str(), nullptr) && folder.Open(path, FILE_LIST_DIRECTORY) &&
           folder.IsFolder() && !folder.IsLink() &&
           !IsLinkAttributes(GetFileAttributesW(path.c_str()));
}

// Copies an opened file's data to a new file; the copy takes the listed
// file's attributes and times, as a copy by the system does.
bool CopyOpenedFile(const EntryHandle& source,
                    const ListedEntry& listed,
                    const std::wstring& target,
                    std::vector<BYTE>& buffer) {
    const DWORD attributes = listed.attributes & kCopiedAttributes;
    ScopedFile out(CreateFileW(
        target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
        (attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL) | FILE_FLAG_SEQUENTIAL_SCAN,
        nullptr));
    return out.IsValid() && CopyFileData(source.Get(), out.Get(), buffer) &&
           SetFileTime(out.Get(), &listed.creationTime, &listed.lastAccessTime,
                       &listed.lastWriteTime) != FALSE;
}

// Creates the copy of the listed tree: the folders as they come, each file
// from a handle that is checked to be the listed file.
bool CopyListedTree(const std::wstring& from,
                    const std::wstring& to,
                    const std::vector<CopyEntry>& entries) {
    struct Pinned {
        std::wstring relative;
        EntryHandle folder;
    };
    std::vector<std::unique_ptr<Pinned>> pins;
    pins.push_back(std::make_unique<Pinned>());
    if (!CreateCopyFolder(to, pins.back()->folder))
        return false;
    std::vector<BYTE> buffer(kCopyBufferSize);
    for (const CopyEntry& entry : entries) {
        const size_t separator = entry.relative.find_last_of(L'\\');
        const std::wstring parent =
            separator == std::wstring::npos ? std::wstring() : entry.relative.substr(0, separator);
        while (!pins.empty() && pins.back()->relative != parent)
            pins.pop_back();
        if (pins.empty())
            return false;
        const std::wstring source = from + L"\\" + entry.relative;
        const std::wstring target = to + L"\\" + entry.relative;
        RunSeam(source);
        if (entry.listed.IsFolder()) {
            pins.push_back(std::make_unique<Pinned>());
            pins.back()->relative = entry.relative;
            if (!CreateCopyFolder(target, pins.back()->folder))
                return false;
            continue;
        }
        EntryHandle file;
        if (!file.Open(source, GENERIC_READ) || !file.IsListedEntry(entry.listed))
            return false;
        // A file with another name may be another folder's file, one the
        // copy's readers could not read there: it is left out.
        if (file.LinkCount() > 1) {
            TraceTreeRefusal(source, kSecondName);
            continue;
        }
        if (!CopyOpenedFile(file, entry.listed, target, buffer))
            return false;
    }
    return true;
}

bool CopyTreeUnchecked(const std::wstring& source,
                       const std::wstring& destination,
                       size_t pathLimit) {
    const std::wstring fromFull = FullFolderPath(source);
    const std::wstring toFull = FullFolderPath(destination);
    const std::wstring from = ExtendedPath(fromFull);
    const std::wstring to = ExtendedPath(toFull);
    if (from.empty() || to.empty())
        return false;
    EntryHandle top;
    if (!OpenFolder(from, false, top) || !top.IsFolder() || top.IsLink() ||
        IsLinkAttributes(GetFileAttributesW(from.c_str())))
        return false;
    std::vector<CopyEntry> entries;
    if (!ListSourceTree(std::move(top), from, entries))
        return false;
    if (pathLimit != 0) {
        size_t longest = 0;
        for (const CopyEntry& entry : entries)
            longest = std::max(longest, entry.relative.size() + 1);
        if (fromFull.size() + longest >= pathLimit || toFull.size() + longest >= pathLimit)
            return false;
    }
    return CopyListedTree(from, to, entries);
}

}  // namespace

bool DeleteTree(const std::wstring& path, const TreeDeleteOptions& options) {
    std::wstring extended;
    EntryHandle top;
    const Top opened = OpenGuardedTop(path, FILE_LIST_DIRECTORY | DELETE | FILE_WRITE_ATTRIBUTES,
                                      FILE_LIST_DIRECTORY, extended, top);
    if (opened != Top::kOpened)
        return opened == Top::kMissing;
    try {
        if (!top.IsFolder()) {
            if (top.IsNamedElsewhere(WithoutVolume(extended))) {
                top.Close();
                return NameEraser(ParentPath(extended)).Erase(extended);
            }
            return DeleteOpenedFile(top, top.Attributes(), extended, options.renameInUseAside);
        }
        TreeDeleter deleter(options);
        return deleter.DeleteFolder(std::move(top), extended);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool DeleteEmptyFolder(const std::wstring& path) {
    std::wstring extended;
    EntryHandle top;
    const Top opened = OpenGuardedTop(path, FILE_LIST_DIRECTORY | DELETE,
                                      FILE_LIST_DIRECTORY | DELETE, extended, top);
    if (opened != Top::kOpened)
        return opened == Top::kMissing;
    try {
        std::vector<ListedEntry> entries;
        return top.IsFolder() && top.List(entries) && entries.empty() && top.MarkForDeletion();
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CopyTree(const std::wstring& source, const std::wstring& destination, size_t pathLimit) {
    try {
        return CopyTreeUnchecked(source, destination, pathLimit);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool RenameTree(const std::wstring& source, const std::wstring& destination) {
    const std::wstring target = ExtendedPath(FullFolderPath(destination));
    std::wstring extended;
    EntryHandle top;
    return !target.empty() &&
           OpenGuardedTop(source, DELETE | FILE_LIST_DIRECTORY, DELETE, extended, top) ==
               Top::kOpened &&
           top.RenameTo(target, false);
}

bool MoveTree(const std::wstring& source, const std::wstring& destination) {
    const std::wstring target = ExtendedPath(FullFolderPath(destination));
    std::wstring extended;
    EntryHandle top;
    if (target.empty() ||
        OpenGuardedTop(source, DELETE | FILE_LIST_DIRECTORY, DELETE, extended, top) != Top::kOpened)
        return false;
    if (top.RenameTo(target, true))
        return true;
    const bool folder = top.IsFolder();
    top.Close();
    if (!folder) {
        return MoveFileExW(extended.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
    }
    // A folder that cannot be renamed (another volume, a file in use
    // below it) is copied whole and then deleted; the copy lands inside a
    // destination folder that exists already. A folder that holds links
    // stays whole: the copy would leave them out, and the delete could not
    // always remove them.
    std::vector<std::wstring> links;
    if (!FindTreeLinks(source, links) || !links.empty())
        return false;
    std::wstring copy = StripTrailingSeparators(destination);
    if (IsDirectory(copy))
        copy = JoinPath(copy, LastPathComponent(StripTrailingSeparators(source)));
    return CopyTree(source, copy, 0) && DeleteTree(source, TreeDeleteOptions());
}

void SetTreeWalkSeamForTesting(TreeWalkSeam seam, void* context) {
    g_seam = seam;
    g_seamContext = context;
}
