// Every decision of the kind "may the install create, adopt, retire,
// delete, register or unregister this?", in one place. The records that
// name folders, modules and keys (config.dat, the install folder's "Conf")
// lie where every user can write: what they name is a claim. The install
// acts on it only with proof from state that only an administrator can
// write: the product's own record of its folders under HKEY_LOCAL_MACHINE
// (installer/OwnedFolders.h), or, on a machine where that record does not
// exist yet (an installation made before it), the registered class the
// records claim, whose server module lies directly in the recorded folder. The text rules it builds
// on are in installer/InstallFolderRules.h.
#pragma once

#include <string>
#include <vector>

class FolderPolicy {
public:
    // Reads, before this install registers anything, what proves the
    // previous installation ours: its folder, the class id and overlay key
    // its records claim.
    void ReadPrevious(const std::wstring& installedDir,
                      const std::string& claimedClsid,
                      const std::string& explorerKey);
    void SetNewFolder(const std::wstring& folder) { m_strNew = folder; }
    // Folders the record named until this install found them gone: a
    // registration whose module lay there was this product's.
    void SetFormerFolders(std::vector<std::wstring> folders) {
        m_formerFolders = std::move(folders);
    }

    // True when the previous installation is proven ours.
    bool IsPreviousOurs() const;
    // True when the folder record proves it; otherwise only its registration
    // does (an earlier release's), and only what the product placed there
    // is ours.
    bool IsPreviousRecorded() const { return m_bPreviousRecorded; }
    // The module the previous class was registered to, directly in the
    // previous folder, before this install registered anything; empty when
    // there is none.
    const std::wstring& PreviousModule() const { return m_strPreviousModule; }
    // True for a folder proven ours: recorded, or the proven previous one.
    bool IsOwnedFolder(const std::wstring& folder) const;

    // Why the install may not create or adopt the new folder; nullptr when
    // it may. Refused: a link or a folder below one, a folder inside or
    // holding the previous installation (when it is ours, and so will be
    // retired), the temporary "otdx" folder or
    // the local data folder, and an existing folder that is neither empty
    // nor ours.
    const char* NewFolderRefusal() const;
    // Why a folder that "waitdel" names may not be deleted; nullptr when
    // it may.
    const char* PendingDeletionRefusal(const std::wstring& folder) const;
    // Why the previous folder may not be retired; nullptr when it may.
    const char* RetirementRefusal() const;
    // True when the registration tool may run on `module`: an existing
    // file, not a link, directly inside the proven previous folder.
    bool MayRunPreviousModule(const std::wstring& module) const;
    // The class the previous installation's records claim, when it was
    // registered to a module directly in its folder before this install
    // registered anything; empty otherwise.
    const std::string& PreviousClass() const { return m_strPreviousClsid; }
    // True when the previous overlay key may be deleted: the installation
    // is ours and the key names its own class, as it did before this
    // install registered anything, or a class served by a module in a
    // folder of ours (the same handler under another name, left by an
    // install that was cut short).
    bool MayDeletePreviousKey() const;
    // Why the class id or overlay key of the request may not be registered:
    // each is registered to a module that is not ours. nullptr when both
    // may. A registration whose module file is gone (stale) is taken over
    // only where that module lay in a folder of ours: recorded, or the one
    // config.dat names.
    const char* RegistrationRefusal(const std::string& clsid, const std::string& key) const;
    // True when an existing entry at `path` may be written in place: it is
    // no link, and no file with a second hard link. (Wine 8 shows a Unix
    // link to a file as that file: such a link passes.)
    static bool MayWriteThrough(const std::wstring& path);

private:
    bool IsOwnedModule(const std::wstring& module) const;
    // True when the class (in braces) is served by an existing module in a
    // folder of ours.
    bool NamesOwnedClass(const std::string& bracedClsid) const;
    // True when a registration naming `module` may be replaced.
    bool MayReplaceRegistrationOf(const std::wstring& module) const;

    std::wstring m_strPrevious;
    bool m_bPreviousRecorded = false;
    bool m_bPreviousRegistered = false;
    // The previous class, when its server module lies in the previous folder.
    std::string m_strPreviousClsid;
    std::wstring m_strPreviousModule;
    bool m_bPreviousKeyNamesClass = false;
    std::string m_strPreviousKey;
    std::wstring m_strNew;
    std::vector<std::wstring> m_formerFolders;
};

// True when the two folders are the same or one lies inside the other, by
// their text and by file identity on the way up from each.
bool FoldersNest(const std::wstring& a, const std::wstring& b);

// The user's temporary folder joined with "otdx": where a previous install
// folder that cannot be deleted yet is moved. Empty when unknown.
std::wstring MovedAsideFolder();
