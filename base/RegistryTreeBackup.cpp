#include "base/RegistryTreeBackup.h"

#include <new>

#include "base/ScopedHandle.h"

namespace {

// Class and overlay keys are a few levels deep; anything deeper is not
// what an install overwrites, and is not taken.
constexpr int kMaxDepth = 8;
// A key or value name holds at most this many characters.
constexpr DWORD kMaxNameLength = 16384;

}  // namespace

bool RegistryTreeBackup::ReadNode(HKEY key, Node& node, int depth) {
    if (depth > kMaxDepth)
        return false;
    std::vector<wchar_t> name(kMaxNameLength);
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = kMaxNameLength, type = 0, size = 0;
        LONG result =
            RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, nullptr, &size);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            return false;
        Value value{std::wstring(name.data(), nameLength), type, std::vector<BYTE>(size)};
        nameLength = kMaxNameLength;
        result = RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &value.type,
                               value.data.empty() ? nullptr : value.data.data(), &size);
        if (result != ERROR_SUCCESS)
            return false;
        value.data.resize(size);
        node.values.push_back(std::move(value));
    }
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = kMaxNameLength;
        const LONG result =
            RegEnumKeyExW(key, i, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS)
            return false;
        Node child;
        child.name.assign(name.data(), nameLength);
        ScopedRegKey opened;
        if (RegOpenKeyExW(key, child.name.c_str(), 0, KEY_READ, opened.Receive()) !=
                ERROR_SUCCESS ||
            !ReadNode(opened.Get(), child, depth + 1))
            return false;
        node.children.push_back(std::move(child));
    }
    return true;
}

bool RegistryTreeBackup::WriteNode(HKEY key, const Node& node, REGSAM view) {
    bool all = true;
    for (const Value& value : node.values) {
        all = RegSetValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), 0, value.type,
                             value.data.empty() ? nullptr : value.data.data(),
                             static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS &&
              all;
    }
    for (const Node& child : node.children) {
        ScopedRegKey created;
        all = RegCreateKeyExW(key, child.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | view,
                              nullptr, created.Receive(), nullptr) == ERROR_SUCCESS &&
              WriteNode(created.Get(), child, view) && all;
    }
    return all;
}

bool RegistryTreeBackup::Save(HKEY root, const std::wstring& path, REGSAM view) {
    m_bSaved = false;
    m_tree = Node();
    ScopedRegKey key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Receive()) != ERROR_SUCCESS)
        return false;
    try {
        if (!ReadNode(key.Get(), m_tree, 0)) {
            m_tree = Node();
            return false;
        }
    } catch (const std::bad_alloc&) {
        m_tree = Node();
        return false;
    }
    m_root = root;
    m_strPath = path;
    m_view = view;
    m_bSaved = true;
    return true;
}

bool RegistryTreeBackup::Restore() const {
    if (!m_bSaved)
        return false;
    // What stands there now goes first: values and keys the install added
    // must not stay mixed into what is put back.
    const LONG deleted = RegDeleteKeyExW(m_root, m_strPath.c_str(), m_view, 0);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND) {
        ScopedRegKey existing;
        if (RegOpenKeyExW(m_root, m_strPath.c_str(), 0, KEY_READ | KEY_WRITE | DELETE | m_view,
                          existing.Receive()) == ERROR_SUCCESS)
            RegDeleteTreeW(existing.Get(), nullptr);
    }
    ScopedRegKey created;
    return RegCreateKeyExW(m_root, m_strPath.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | m_view,
                           nullptr, created.Receive(), nullptr) == ERROR_SUCCESS &&
           WriteNode(created.Get(), m_tree, m_view);
}
