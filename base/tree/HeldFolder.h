// A folder held open while an elevated install writes in it by name. The
// folder is opened itself, never through a link, and only when the name
// leads to a plain folder that the system names by that very path. It is
// held without delete sharing: on Windows no one can then rename, move or
// delete it, nor any folder above it, so the names below it keep leading
// into it. (Wine does not refuse such a rename: there StillAtItsName is what
// catches a swap.) Installer library only; never throws.
#pragma once

#include <windows.h>

#include <string>

#include "base/tree/EntryHandle.h"

class HeldFolder {
public:
    HeldFolder() = default;
    HeldFolder(const HeldFolder&) = delete;
    HeldFolder& operator=(const HeldFolder&) = delete;

    // Opens the folder at `folder` (a full path) with `access` besides
    // reading its attributes. False, holding nothing, when nothing is there,
    // when it is no folder, when it is a link (a reparse point by its name
    // or by its handle), or when its handle is named by another path.
    bool Hold(const std::wstring& folder, DWORD access = 0);
    void Release();

    bool IsHeld() const { return m_handle.IsOpen(); }
    HANDLE Get() const { return m_handle.Get(); }
    const std::wstring& Path() const { return m_path; }

    // True while the held folder is still the one its name leads to, as a
    // plain folder: not renamed away, replaced or turned into a link.
    bool StillAtItsName() const;

private:
    EntryHandle m_handle;
    std::wstring m_path;
    std::wstring m_extended;
    FileObjectId m_id;
};
