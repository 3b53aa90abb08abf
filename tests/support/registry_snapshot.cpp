// Registry snapshots and their comparison.
#include "registry_snapshot.h"
#include <set>

RegistrySnapshot RegistrySnapshot::Take(HKEY root, const std::string& subKey)
{
    RegistrySnapshot snapshot;
    snapshot.name_ = subKey;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return snapshot;
    snapshot.exists_ = true;
    snapshot.Read(key, "");
    RegCloseKey(key);
    return snapshot;
}

void RegistrySnapshot::Read(HKEY key, const std::string& path)
{
    Values& values = keys_[path];
    DWORD subKeys = 0, maxSubKey = 0, valueCount = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &valueCount, &maxName,
                         &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return;

    std::vector<char> name(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0; i < valueCount; ++i) {
        DWORD nameSize = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, i, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS)
            continue;
        values[std::string(name.data(), nameSize)] = {type, std::string(reinterpret_cast<char*>(data.data()), dataSize)};
    }

    std::vector<std::string> children;
    std::vector<char> child(maxSubKey + 2);
    for (DWORD i = 0; i < subKeys; ++i) {
        DWORD size = static_cast<DWORD>(child.size());
        if (RegEnumKeyExA(key, i, child.data(), &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
            children.emplace_back(child.data(), size);
    }
    for (const std::string& name : children) {
        HKEY sub = nullptr;
        if (RegOpenKeyExA(key, name.c_str(), 0, KEY_READ, &sub) != ERROR_SUCCESS)
            continue;
        Read(sub, path.empty() ? name : path + "\\" + name);
        RegCloseKey(sub);
    }
}

namespace {

// The key at path and every key below it hold no values.
bool HoldsNoValues(const std::map<std::string, RegistrySnapshot::Values>& keys, const std::string& path)
{
    std::string prefix = path.empty() ? "" : path + "\\";
    for (auto entry = keys.find(path); entry != keys.end(); ++entry) {
        bool inside = entry->first == path || entry->first.compare(0, prefix.size(), prefix) == 0;
        if (!inside)
            continue;
        if (!entry->second.empty())
            return false;
    }
    return true;
}

}  // namespace

std::vector<RegistryDifference> CompareSnapshots(const RegistrySnapshot& before, const RegistrySnapshot& after)
{
    std::vector<RegistryDifference> differences;
    std::set<std::string> paths;
    for (const auto& entry : before.Keys())
        paths.insert(entry.first);
    for (const auto& entry : after.Keys())
        paths.insert(entry.first);

    for (const std::string& path : paths) {
        auto was = before.Keys().find(path);
        auto is = after.Keys().find(path);
        if (was == before.Keys().end()) {
            differences.push_back({RegistryDifference::KeyAdded, path, "", HoldsNoValues(after.Keys(), path)});
            for (const auto& value : is->second)
                differences.push_back({RegistryDifference::ValueAdded, path, value.first, false});
            continue;
        }
        if (is == after.Keys().end()) {
            differences.push_back({RegistryDifference::KeyRemoved, path, "", HoldsNoValues(before.Keys(), path)});
            for (const auto& value : was->second)
                differences.push_back({RegistryDifference::ValueRemoved, path, value.first, false});
            continue;
        }
        for (const auto& value : was->second) {
            auto now = is->second.find(value.first);
            if (now == is->second.end())
                differences.push_back({RegistryDifference::ValueRemoved, path, value.first, false});
            else if (now->second != value.second)
                differences.push_back({RegistryDifference::ValueChanged, path, value.first, false});
        }
        for (const auto& value : is->second) {
            if (!was->second.count(value.first))
                differences.push_back({RegistryDifference::ValueAdded, path, value.first, false});
        }
    }
    return differences;
}

std::string DescribeDifferences(const std::vector<RegistryDifference>& differences)
{
    static const char* const kinds[] = {"+key ", "-key ", "+value ", "-value ", "~value "};
    std::string text;
    for (const RegistryDifference& difference : differences) {
        text += kinds[difference.kind];
        text += difference.key.empty() ? "(key itself)" : difference.key;
        if (difference.kind >= RegistryDifference::ValueAdded)
            text += " [" + difference.value + "]";
        else if (difference.emptyKey)
            text += " (empty)";
        text += "\n";
    }
    return text;
}

std::string ReadStringValue(HKEY root, const std::string& subKey, const std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    char data[1024];
    DWORD size = sizeof data;
    DWORD type = 0;
    LONG result = RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ)
        return "";
    std::string text(data, size);
    return text.substr(0, text.find('\0'));
}

bool KeyExists(HKEY root, const std::string& subKey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, subKey.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}
