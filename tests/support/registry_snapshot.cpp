// Registry snapshots and their comparison.
#include "registry_snapshot.h"
#include <set>

RegistrySnapshot RegistrySnapshot::Take(HKEY root, const std::string& subKey)
{
    RegistrySnapshot snapshot;
    snapshot.name_ = subKey;
    RegistryTree tree = ReadRegistryTree(root, subKey);
    snapshot.exists_ = tree.exists;
    if (tree.exists)
        snapshot.Add(tree, "");
    return snapshot;
}

void RegistrySnapshot::Add(const RegistryTree& tree, const std::string& path)
{
    keys_[path] = tree.values;
    for (const auto& subkey : tree.subkeys)
        Add(subkey.second, path.empty() ? subkey.first : path + "\\" + subkey.first);
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
    RegistryTree key = ReadRegistryTree(root, subKey);
    auto value = key.values.find(name);
    if (value == key.values.end() || value->second.type != REG_SZ)
        return "";
    return value->second.data.substr(0, value->second.data.find('\0'));
}
