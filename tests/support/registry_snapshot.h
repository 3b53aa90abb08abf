// A recursive copy of a registry key (subkeys, value names, types and data) taken at
// one moment, and the differences between two such copies.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "registry_tree.h"


class RegistrySnapshot {
public:
    // Reads root\subKey and everything below it; a key that does not exist gives an
    // empty snapshot with Exists() false.
    static RegistrySnapshot Take(HKEY root, const std::string& subKey);

    bool Exists() const { return exists_; }
    // Keys by path relative to the snapshot's key ("" is the key itself, then
    // "a", "a\\b", ...), each with its values by name ("" the unnamed value).
    using Values = std::map<std::string, RegistryValue>;
    const std::map<std::string, Values>& Keys() const { return keys_; }
    const std::string& Name() const { return name_; }

private:
    void Add(const RegistryTree& tree, const std::string& path);
    std::string name_;
    bool exists_ = false;
    std::map<std::string, Values> keys_;
};

struct RegistryDifference {
    enum Kind { KeyAdded, KeyRemoved, ValueAdded, ValueRemoved, ValueChanged };
    Kind kind;
    std::string key;    // relative path as in RegistrySnapshot::Keys
    std::string value;  // the value's name, for the value kinds
    bool emptyKey;      // KeyAdded/KeyRemoved: neither the key nor any key below it holds a value
};

// Every difference from before to after, keys in path order.
std::vector<RegistryDifference> CompareSnapshots(const RegistrySnapshot& before, const RegistrySnapshot& after);

// One line per difference ("+key a\\b", "-value a\\b [name]", ...), for failure output.
std::string DescribeDifferences(const std::vector<RegistryDifference>& differences);

// A REG_SZ value's text up to its first terminator; "" when missing or not REG_SZ.
std::string ReadStringValue(HKEY root, const std::string& subKey, const std::string& name);
