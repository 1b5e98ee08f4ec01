// The rights of the install folder and of the data folders inside it.
// The install runs elevated and places modules that Explorer loads in every
// user's session: what it places may be changed by administrators and
// SYSTEM alone. The data that the product's programs write as the user
// stays open to everyone. Installer library only; never throws.
#pragma once

#include <windows.h>

#include <string>

enum class FolderRights {
    // Owner Administrators; SYSTEM and Administrators full control,
    // everyone else read and execute; nothing inherited from the parent.
    kAdministratorsOnly,
    // The same, with full control for everyone: data the product's
    // programs write whoever runs them.
    kEveryoneFull,
};

// The descriptor of each kind as SDDL, inherited by files and sub-folders.
const wchar_t* FolderRightsSddl(FolderRights rights);

// Creates the folder (its parent must exist) with the descriptor from the
// start, so that there is no moment with the parent's rights. False when
// it could not be created (an existing folder included).
bool CreateFolderWithRights(const std::wstring& folder, FolderRights rights);

// Replaces the owner and access list of an existing folder or file with
// those of the kind, no longer inheriting from its parent. False when the
// access list could not be set. (Wine 8 keeps no descriptor: it maps the
// access list onto the Unix permission bits and reads the owner back as
// the Unix user.)
//
// The folder is opened itself, never through a link, and only when it is a
// plain folder the system names by that path (base/tree/HeldFolder.h); the
// descriptor is set through that handle.
bool ApplyFolderRights(const std::wstring& path, FolderRights rights);
// The same through a handle opened with READ_CONTROL, WRITE_DAC and
// WRITE_OWNER.
bool ApplyFolderRights(HANDLE object, FolderRights rights);

// The access a handle needs for ApplyFolderRights.
constexpr DWORD kFolderRightsAccess = READ_CONTROL | WRITE_DAC | WRITE_OWNER;
