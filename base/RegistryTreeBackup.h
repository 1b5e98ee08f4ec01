// A copy in memory of a registry key with its values and sub-keys, taken
// before an install overwrites it, so that a roll-back can put back what
// was there instead of deleting it. Installer library only; never throws.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class RegistryTreeBackup {
public:
    // Reads the key `path` below `root` in the view `view` (KEY_WOW64_64KEY
    // or 0). False when the key does not exist or cannot be read whole;
    // nothing is held then.
    bool Save(HKEY root, const std::wstring& path, REGSAM view);
    bool IsSaved() const { return m_bSaved; }
    const std::wstring& Path() const { return m_strPath; }

    // Replaces whatever is at the key now by the saved tree. True when all
    // of it was written back.
    bool Restore() const;

private:
    struct Value {
        std::wstring name;
        DWORD type = 0;
        std::vector<BYTE> data;
    };
    struct Node {
        std::wstring name;
        std::vector<Value> values;
        std::vector<Node> children;
    };

    static bool ReadNode(HKEY key, Node& node, int depth);
    static bool WriteNode(HKEY parent, const Node& node, REGSAM view);

    HKEY m_root = nullptr;
    std::wstring m_strPath;
    REGSAM m_view = 0;
    Node m_tree;
    bool m_bSaved = false;
};
