// Registry trees in memory.
#include "registry_tree.h"
#include <shlwapi.h>

namespace {

class Key {
public:
    Key(HKEY root, const std::string& path, REGSAM access, bool create)
    {
        LONG result = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key_, nullptr)
                             : RegOpenKeyExA(root, path.c_str(), 0, access, &key_);
        if (result != ERROR_SUCCESS)
            key_ = nullptr;
    }
    ~Key() { if (key_) RegCloseKey(key_); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY Get() const { return key_; }
private:
    HKEY key_ = nullptr;
};

RegistryTree ReadOpenKey(HKEY key)
{
    RegistryTree tree;
    tree.exists = true;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        DWORD dataSize = 0;
        LONG result = RegEnumValueA(key, index, name, &nameSize, nullptr, &type, nullptr, &dataSize);
        if (result != ERROR_SUCCESS)
            break;
        std::string data(dataSize, '\0');
        DWORD size = dataSize;
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
        data.resize(size);
        tree.values[name] = RegistryValue{type, data};
    }
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            tree.subkeys[name] = ReadOpenKey(child);
            RegCloseKey(child);
        }
    }
    return tree;
}

std::string Printable(const RegistryValue& value)
{
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
        std::string text = value.data;
        bool ended = !text.empty() && text.back() == '\0';
        if (ended)
            text.pop_back();
        return "\"" + text + "\"" + (ended ? "" : " (no terminator)");
    }
    char line[64];
    wsprintfA(line, "type %lu, %lu bytes", value.type, static_cast<unsigned long>(value.data.size()));
    return line;
}

}  // namespace

RegistryTree ReadRegistryTree(HKEY root, const std::string& path)
{
    Key key(root, path, KEY_READ, false);
    if (!key.Get())
        return RegistryTree();
    return ReadOpenKey(key.Get());
}

bool WriteRegistryTree(HKEY root, const std::string& path, const RegistryTree& tree)
{
    Key key(root, path, KEY_ALL_ACCESS, true);
    if (!key.Get())
        return false;
    bool ok = true;
    for (const auto& value : tree.values) {
        ok &= RegSetValueExA(key.Get(), value.first.empty() ? nullptr : value.first.c_str(), 0, value.second.type,
                             reinterpret_cast<const BYTE*>(value.second.data.data()),
                             static_cast<DWORD>(value.second.data.size())) == ERROR_SUCCESS;
    }
    for (const auto& subkey : tree.subkeys)
        ok &= WriteRegistryTree(key.Get(), subkey.first, subkey.second);
    return ok;
}

void DeleteRegistryTree(HKEY root, const std::string& path)
{
    SHDeleteKeyA(root, path.c_str());
}

std::string DescribeRegistryTree(const RegistryTree& tree, const std::string& indent)
{
    if (!tree.exists)
        return indent + "(missing)\n";
    std::string text;
    for (const auto& value : tree.values)
        text += indent + (value.first.empty() ? "@" : value.first) + " = " + Printable(value.second) + "\n";
    for (const auto& subkey : tree.subkeys)
        text += indent + "[" + subkey.first + "]\n" + DescribeRegistryTree(subkey.second, indent + "  ");
    return text;
}

bool RegistryKeyExists(HKEY root, const std::string& path)
{
    Key key(root, path, KEY_READ, false);
    return key.Get() != nullptr;
}

bool SetRegistryBytes(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& bytes)
{
    Key key(root, path, KEY_ALL_ACCESS, true);
    return key.Get() && RegSetValueExA(key.Get(), name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                       static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool SetRegistryString(HKEY root, const std::string& path, const char* name, const std::string& text)
{
    return SetRegistryBytes(root, path, name, REG_SZ, std::string(text.c_str(), text.size() + 1));
}

std::string RegistryString(HKEY root, const std::string& path, const char* name, bool* exists)
{
    if (exists)
        *exists = false;
    Key key(root, path, KEY_READ, false);
    if (!key.Get())
        return std::string();
    DWORD size = 0;
    DWORD type = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return std::string();
    std::string data(size, '\0');
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS)
        return std::string();
    if (exists)
        *exists = true;
    data.resize(size);
    return std::string(data.c_str());
}

bool DeleteRegistryValue(HKEY root, const std::string& path, const char* name)
{
    Key key(root, path, KEY_ALL_ACCESS, false);
    return key.Get() && RegDeleteValueA(key.Get(), name) == ERROR_SUCCESS;
}

SavedRegistryKeys::SavedRegistryKeys(HKEY root, const std::vector<std::string>& paths) : root_(root)
{
    for (const std::string& path : paths)
        saved_.emplace_back(path, ReadRegistryTree(root, path));
}

SavedRegistryKeys::~SavedRegistryKeys()
{
    for (const auto& entry : saved_) {
        DeleteRegistryTree(root_, entry.first);
        if (entry.second.exists)
            WriteRegistryTree(root_, entry.first, entry.second);
    }
}

std::string ScratchName(const std::string& stem)
{
    char number[16];
    wsprintfA(number, "%lu", GetCurrentProcessId());
    return stem + number;
}
