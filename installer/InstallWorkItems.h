// What one install changes, as a list of work items. Each step that
// changes something adds the item that undoes exactly that change, with a
// copy of whatever the change replaced; a failed install rolls the list
// back, newest item first, so that the roll-back reads as the install
// backwards and touches nothing the install did not change. Once the new
// installation is committed (config.dat names it), nothing is rolled back.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/RegistryTreeBackup.h"

class WorkItem {
public:
    virtual ~WorkItem() = default;
    // Undoes the item's change; true when it is undone whole. Never throws.
    virtual bool Rollback() = 0;
};

class WorkItemList {
public:
    // Takes the item over; returns it for the step that goes on with it.
    template <typename Item>
    Item* Add(std::unique_ptr<Item> item) {
        Item* added = item.get();
        m_items.push_back(std::move(item));
        return added;
    }
    // Rolls every item back, newest first, then forgets them. True when
    // each was undone whole.
    bool Rollback();
    // The install is complete: from here on nothing is rolled back.
    void Commit() { m_items.clear(); }
    bool IsEmpty() const { return m_items.empty(); }

private:
    std::vector<std::unique_ptr<WorkItem>> m_items;
};

// The install folder: created with its missing parents (each with the
// install folder's rights from its creation on), then recorded ours under
// HKEY_LOCAL_MACHINE. Rolled back: the outermost folder it created goes with
// everything in it, then the record it made goes, unless the folder stays
// (a folder created and not removed whole stays ours).
class CreateFolderItem : public WorkItem {
public:
    // True when the folder exists afterwards.
    bool Create(const std::wstring& folder);
    // False when the folder is not recorded ours afterwards.
    bool RecordOwnership(const std::wstring& folder);
    // The outermost folder created ("" when the folder was there already).
    const std::wstring& CreatedTopFolder() const { return m_strCreatedTop; }
    bool Rollback() override;

private:
    std::wstring m_strCreatedTop;
    std::wstring m_strOwnershipRecorded;
};

// A file or folder about to be written where nothing stood (noted when the
// item is made). Rolled back: whatever stands there then goes, a link as
// itself only (the folders below the install folder are open to every
// user), a folder with what is in it, a file in use renamed aside.
class PlacedPathItem : public WorkItem {
public:
    explicit PlacedPathItem(std::wstring path);
    bool Rollback() override;

protected:
    const std::wstring m_path;
    const bool m_bWasThere;
};

// A module placed by the install whose digest is recorded as the proof that
// it holds the bytes placed (installer/ModuleProof.h). Rolled back: the
// module as a placed path, then its digest once the module is gone.
class PlacedModuleItem : public PlacedPathItem {
public:
    using PlacedPathItem::PlacedPathItem;
    bool RecordDigest(const std::string& digest);
    bool Rollback() override;

private:
    bool m_bDigestRecorded = false;
};

// A key below HKEY_LOCAL_MACHINE (in `view`) that the registration is about
// to overwrite, saved with its values and sub-keys where it exists. Rolled
// back: the saved tree replaces what is there; `restored` hears of it.
class RegistryBackupItem : public WorkItem {
public:
    RegistryBackupItem(const std::wstring& path,
                       REGSAM view,
                       std::function<void(const std::wstring&)> restored);
    bool Rollback() override;

private:
    RegistryTreeBackup m_backup;
    std::function<void(const std::wstring&)> m_restored;
};

// A roll-back step only the install itself can take (the registration's,
// which needs the install's proofs and policy).
class CallbackItem : public WorkItem {
public:
    explicit CallbackItem(std::function<void()> undo) : m_undo(std::move(undo)) {}
    bool Rollback() override;

private:
    std::function<void()> m_undo;
};
