// What one install changed, step by step, so that a failed install undoes
// exactly that and nothing else: the folders it created, the files it
// placed where nothing was before, the record that proves its folder ours,
// and the shell module it ran the registration tool on.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/RegistryTreeBackup.h"

class InstallJournal {
public:
    // Creates the folder and its missing parents, noting the outermost one
    // that did not exist. True when the folder exists afterwards.
    bool CreateFolder(const std::wstring& folder);

    // Call before a file or folder is written: when it is not there yet,
    // whatever is found at that path at roll-back time is this install's.
    // Note a folder before anything placed inside it.
    void BeforePlacing(const std::wstring& path);

    // Records the folder as ours under HKEY_LOCAL_MACHINE unless it already
    // is; UndoOwnershipRecord drops that record again when the roll-back
    // removed the folder, or when the folder was there before this install.
    // False when the folder is not recorded ours afterwards.
    bool RecordOwnership(const std::wstring& folder);
    void UndoOwnershipRecord() const;

    // Records the digest of a module just placed (installer/ModuleProof.h);
    // UndoModuleDigests drops each again once its module is gone.
    bool RecordModuleDigest(const std::wstring& module, const std::string& digest);
    void UndoModuleDigests() const;

    void NoteRegistration(const std::string& shellPath) { m_strRegisteredShell = shellPath; }
    // Saves the key below HKEY_LOCAL_MACHINE (in `view`) that the
    // registration is about to overwrite, where it exists;
    // RestoreRegistryBackups puts each back as it was, newest last.
    void BackUpRegistryKey(const std::wstring& path, REGSAM view);
    // The paths put back.
    std::vector<std::wstring> RestoreRegistryBackups() const;

    // The outermost folder this install created ("" when the install went
    // into a folder that already existed).
    const std::wstring& CreatedTopFolder() const { return m_strCreatedTop; }
    // The shell module the registration tool ran on ("" when it never ran).
    const std::string& RegisteredShell() const { return m_strRegisteredShell; }

    // Removes what the install put on disk: the folder it created with
    // everything in it, or, inside a folder that existed before, only the
    // files and folders it placed (newest first; a folder with what is in
    // it). True when all of that is gone.
    bool RemovePlaced() const;

private:
    std::wstring m_strCreatedTop;
    std::vector<std::wstring> m_placed;  // were not there before; in order
    std::string m_strRegisteredShell;
    std::wstring m_strOwnershipRecorded;
    std::vector<std::wstring> m_digestsRecorded;
    std::vector<RegistryTreeBackup> m_registryBackups;
};
