// A file or folder opened by handle, never through a link: the primitive of
// the tree walk (base/tree/TreeWalk.h). A tree operation decides on what a
// folder's handle lists, opens each entry by its full wide name without
// following links, checks that the opened object is the listed one, and
// acts through that handle. While a handle is open the object cannot be
// renamed or deleted by anyone else (no delete sharing), so a name checked
// once keeps naming the same object.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/ScopedHandle.h"
#include "base/tree/FileIdentity.h"

// One entry as its folder's handle listed it.
struct ListedEntry {
    std::wstring name;
    DWORD attributes = 0;
    std::uint64_t fileId = 0;
    FILETIME creationTime = {};
    FILETIME lastAccessTime = {};
    FILETIME lastWriteTime = {};

    bool IsLink() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
    bool IsFolder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
};

// The extended form ("\\?\C:\...", "\\?\UNC\server\share\...") of a full
// path, which the system takes name by name as it stands: no length limit,
// and no name (one ending in dots or spaces, say) read as another. Empty
// for a path that has no absolute root.
std::wstring ExtendedPath(const std::wstring& fullPath);
// The path of `extended` ("\\?\C:\...") without its volume, as the system
// names an opened object ("\..."); empty for a path of another form.
std::wstring WithoutVolume(const std::wstring& extended);

class EntryHandle {
public:
    // Opens the entry at `path` (extended form) itself, a link included,
    // with `access` plus the right to read its attributes, and reads its
    // file index. Others may read and write it meanwhile, not rename or
    // delete it.
    bool Open(const std::wstring& path, DWORD access);
    // Creates a new empty file at `path` (extended form) and holds it with
    // `access`, without sharing. False when anything is there already.
    bool CreateNew(const std::wstring& path, DWORD access);
    void Close() { m_file.Reset(); }

    HANDLE Get() const { return m_file.Get(); }
    bool IsOpen() const { return m_file.IsValid(); }
    // The volume and file index. On Wine the volume costs about half a
    // millisecond, fifty times as much as the rest of an open: the walk
    // asks for it only at the top of a tree.
    bool ReadId(FileObjectId& id);
    // Attributes as the handle reports them, read on first use (0 when
    // they cannot be read). The walk takes the attributes and times of an
    // entry from its folder's listing once the entry is proven to be the
    // listed one: each question asked of a new handle costs Wine a round
    // trip to its server.
    DWORD Attributes() const;
    bool IsFolder() const { return (Attributes() & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    // True when the handle reports a reparse point. On Wine 8 a handle on
    // a Unix link reports its target instead (see IsListedEntry).
    bool IsLink() const { return (Attributes() & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

    // Whether the opened object is the one that `entry` listed, a file or
    // folder and no link: same file index. A link swapped in since the
    // listing is another object, whether the system opened the link itself
    // or (Wine) its target. The walk never crosses a reparse point, so
    // entry and folder lie on one volume.
    bool IsListedEntry(const ListedEntry& entry) const;

    // The entries of an opened folder, without "." and "..". False when
    // the listing fails before its end.
    bool List(std::vector<ListedEntry>& entries) const;

    // The path of the opened object as the system names it, without its
    // volume ("\\folder\\file"); empty when it cannot be read. On Wine it
    // is the path the name leads to: a Unix link to a file opens as that
    // file, which is named by its own path, not the link's.
    std::wstring PathWithoutVolume() const;
    // True when the system names the opened object by another path than
    // `expected` (a path without its volume; an empty one proves nothing):
    // the name was a link that did not show as one (on Wine, a Unix link),
    // and the handle holds what it leads to.
    bool IsNamedElsewhere(const std::wstring& expected) const;
    // How many names (hard links) the file has; 0 when unknown.
    DWORD LinkCount() const;

    // Marks the object for deletion when its last handle closes (a folder
    // only when it is empty); needs DELETE access.
    bool MarkForDeletion() const;
    // Renames the object to `path` (extended form); needs DELETE access.
    bool RenameTo(const std::wstring& path, bool replaceExisting) const;

private:
    // Reads the file index (once: a handle created new has none yet).
    bool ReadIndex();

    ScopedFile m_file;
    std::uint64_t m_index = 0;
    mutable DWORD m_attributes = INVALID_FILE_ATTRIBUTES;
};
