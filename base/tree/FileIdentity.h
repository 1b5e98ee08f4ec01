// Whether two names reach the same file or folder on disk, whatever their
// spelling (case, short 8.3 names, separators, relative parts).
#pragma once

#include <cstdint>
#include <string>

// What the file system says an object is: its volume's serial number and
// its file index there. Two names with equal ids reach one object.
struct FileObjectId {
    std::uint32_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FileObjectId& other) const {
        return volume == other.volume && index == other.index;
    }
    bool operator<(const FileObjectId& other) const {
        return volume != other.volume ? volume < other.volume : index < other.index;
    }
};

// Opens the file or folder itself without following a link (no access
// rights asked, full sharing, so a file in use still counts) and reads its
// id. False when it cannot be opened.
bool ReadFileObjectId(const std::wstring& path, FileObjectId& id);

// The same for the file index alone. On Wine the volume costs about half a
// millisecond a question, several times as much as the index: comparisons
// look at the indexes first and at the volumes only where those agree.
bool ReadFileIndex(const std::wstring& path, std::uint64_t& index);

// True when both names exist, can be opened and have the same id. False
// otherwise, including when either cannot be opened. A link is opened as
// itself, not followed; on Wine 8, though, a Unix link to a folder opens as
// its target and so is the same object as the folder it points to.
bool IsSameFileObject(const std::wstring& a, const std::wstring& b);
