#include "base/tree/EntryHandle.h"

#include <winternl.h>

#include <cstring>

#include "base/PathString.h"

namespace {

constexpr wchar_t kExtendedPrefix[] = L"\\\\?\\";
constexpr wchar_t kExtendedUncPrefix[] = L"\\\\?\\UNC\\";
// Enough for several hundred entries per call of the listing.
constexpr DWORD kListingBufferSize = 64 * 1024;

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

}  // namespace

std::wstring ExtendedPath(const std::wstring& fullPath) {
    if (AbsoluteRootLength(fullPath) == 0)
        return std::wstring();
    if (StartsWith(fullPath, kExtendedPrefix))
        return fullPath;
    if (StartsWith(fullPath, L"\\\\.\\"))
        return kExtendedPrefix + fullPath.substr(4);
    if (IsPathSeparator(fullPath[0]))
        return kExtendedUncPrefix + fullPath.substr(2);
    return kExtendedPrefix + fullPath;
}

std::wstring WithoutVolume(const std::wstring& extended) {
    if (extended.size() < 7 || extended.compare(0, 4, L"\\\\?\\") != 0 || extended[5] != L':')
        return std::wstring();
    return extended.substr(6);
}

namespace {

FILETIME ToFileTime(const LARGE_INTEGER& time) {
    FILETIME result;
    result.dwLowDateTime = time.LowPart;
    result.dwHighDateTime = static_cast<DWORD>(time.HighPart);
    return result;
}

}  // namespace

bool EntryHandle::CreateNew(const std::wstring& path, DWORD access) {
    m_attributes = INVALID_FILE_ATTRIBUTES;
    m_index = 0;
    m_file.Reset(CreateFileW(path.c_str(), access | SYNCHRONIZE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    return m_file.IsValid();
}

bool EntryHandle::ReadIndex() {
    IO_STATUS_BLOCK status = {};
    LARGE_INTEGER index = {};
    if (NtQueryInformationFile(m_file.Get(), &status, &index, sizeof(index),
                               FileInternalInformation) < 0)
        return false;
    m_index = static_cast<std::uint64_t>(index.QuadPart);
    return true;
}

bool EntryHandle::Open(const std::wstring& path, DWORD access) {
    m_attributes = INVALID_FILE_ATTRIBUTES;
    m_file.Reset(CreateFileW(path.c_str(), access | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!m_file.IsValid())
        return false;
    if (!ReadIndex()) {
        m_file.Reset();
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    return true;
}

bool EntryHandle::ReadId(FileObjectId& id) {
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!m_file.IsValid() || !GetFileInformationByHandle(m_file.Get(), &info) ||
        (m_index == 0 && !ReadIndex()))
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = m_index;
    return true;
}

DWORD EntryHandle::Attributes() const {
    FILE_BASIC_INFO basic = {};
    if (m_attributes == INVALID_FILE_ATTRIBUTES && m_file.IsValid() &&
        GetFileInformationByHandleEx(m_file.Get(), FileBasicInfo, &basic, sizeof(basic)))
        m_attributes = basic.FileAttributes;
    return m_attributes == INVALID_FILE_ATTRIBUTES ? 0 : m_attributes;
}

bool EntryHandle::IsListedEntry(const ListedEntry& entry) const {
    // A file system that lists no id gives 0; there the handle opened
    // without following links and the pinned folders above it are what
    // keep the walk in its tree.
    return m_file.IsValid() && !entry.IsLink() &&
           (entry.fileId == 0 ? !IsLink() && IsFolder() == entry.IsFolder()
                              : m_index == entry.fileId);
}

bool EntryHandle::List(std::vector<ListedEntry>& entries) const {
    std::vector<std::uint64_t> buffer(kListingBufferSize / sizeof(std::uint64_t));
    FILE_INFO_BY_HANDLE_CLASS infoClass = FileIdBothDirectoryRestartInfo;
    for (;;) {
        if (!GetFileInformationByHandleEx(m_file.Get(), infoClass, buffer.data(),
                                          kListingBufferSize))
            return GetLastError() == ERROR_NO_MORE_FILES;
        infoClass = FileIdBothDirectoryInfo;
        const BYTE* at = reinterpret_cast<const BYTE*>(buffer.data());
        for (;;) {
            const auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(at);
            ListedEntry entry;
            entry.name.assign(info->FileName, info->FileNameLength / sizeof(wchar_t));
            entry.attributes = info->FileAttributes;
            entry.fileId = static_cast<std::uint64_t>(info->FileId.QuadPart);
            entry.creationTime = ToFileTime(info->CreationTime);
            entry.lastAccessTime = ToFileTime(info->LastAccessTime);
            entry.lastWriteTime = ToFileTime(info->LastWriteTime);
            if (entry.name != L"." && entry.name != L"..")
                entries.push_back(std::move(entry));
            if (info->NextEntryOffset == 0)
                break;
            at += info->NextEntryOffset;
        }
    }
}

std::wstring EntryHandle::PathWithoutVolume() const {
    std::vector<wchar_t> path(MAX_PATH);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const DWORD length =
            GetFinalPathNameByHandleW(m_file.Get(), path.data(), static_cast<DWORD>(path.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_NONE);
        if (length == 0)
            return std::wstring();
        if (length < path.size())
            return std::wstring(path.data(), length);
        path.resize(length + 1);
    }
    return std::wstring();
}

bool EntryHandle::IsNamedElsewhere(const std::wstring& expected) const {
    if (expected.empty())
        return false;
    const std::wstring named = PathWithoutVolume();
    return !named.empty() &&
           CompareStringOrdinal(named.c_str(), static_cast<int>(named.size()), expected.c_str(),
                                static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL;
}

DWORD EntryHandle::LinkCount() const {
    FILE_STANDARD_INFO standard = {};
    return GetFileInformationByHandleEx(m_file.Get(), FileStandardInfo, &standard, sizeof(standard))
               ? standard.NumberOfLinks
               : 0;
}

bool EntryHandle::MarkForDeletion() const {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(m_file.Get(), FileDispositionInfo, &disposition,
                                      sizeof(disposition)) != FALSE;
}

bool EntryHandle::RenameTo(const std::wstring& path, bool replaceExisting) const {
    const size_t nameBytes = path.size() * sizeof(wchar_t);
    std::vector<std::uint64_t> buffer(
        (sizeof(FILE_RENAME_INFO) + nameBytes) / sizeof(std::uint64_t) + 1);
    auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    rename->ReplaceIfExists = replaceExisting ? TRUE : FALSE;
    rename->RootDirectory = nullptr;
    rename->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(rename->FileName, path.c_str(), nameBytes);
    return SetFileInformationByHandle(m_file.Get(), FileRenameInfo, rename,
                                      static_cast<DWORD>(buffer.size() * sizeof(std::uint64_t))) !=
           FALSE;
}
