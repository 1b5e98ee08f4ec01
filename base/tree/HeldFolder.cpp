#include "base/tree/HeldFolder.h"

#include "base/tree/FolderLinks.h"
#include "base/tree/ProtectedFolders.h"

namespace {

// Opens what stands at `extended` as a plain folder that the system names
// by that path; false otherwise.
bool OpenPlainFolder(const std::wstring& extended, DWORD access, EntryHandle& handle) {
    // By its name first: Wine opens a Unix link to a folder as its target
    // and reports the link only by name.
    const DWORD attributes = GetFileAttributesW(extended.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
        IsLinkAttributes(attributes))
        return false;
    if (!handle.Open(extended, access) || !handle.IsFolder() || handle.IsLink() ||
        handle.IsNamedElsewhere(WithoutVolume(extended))) {
        handle.Close();
        return false;
    }
    return true;
}

}  // namespace

bool HeldFolder::Hold(const std::wstring& folder, DWORD access) {
    Release();
    const std::wstring extended = ExtendedPath(FullFolderPath(folder));
    if (extended.empty() || !OpenPlainFolder(extended, access, m_handle) ||
        !m_handle.ReadId(m_id)) {
        m_handle.Close();
        return false;
    }
    m_path = folder;
    m_extended = extended;
    return true;
}

void HeldFolder::Release() {
    m_handle.Close();
    m_path.clear();
    m_extended.clear();
}

bool HeldFolder::StillAtItsName() const {
    EntryHandle now;
    FileObjectId id;
    return IsHeld() && OpenPlainFolder(m_extended, 0, now) && now.ReadId(id) && id == m_id;
}
