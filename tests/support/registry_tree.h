// Registry keys read whole into memory, to set up classes under HKEY_CLASSES_ROOT
// for a test, snapshot the keys a test changes, compare them afterwards value for
// value and put them back.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>
#include "registry_value.h"


struct RegistryTree {
    bool exists = false;
    std::map<std::string, RegistryValue> values;  // "" is the default value
    std::map<std::string, RegistryTree> subkeys;
    bool operator==(const RegistryTree& other) const
    {
        return exists == other.exists && values == other.values && subkeys == other.subkeys;
    }
    bool operator!=(const RegistryTree& other) const { return !(*this == other); }
};

RegistryTree ReadRegistryTree(HKEY root, const std::string& path);
// Creates root\path and everything tree holds below it.
bool WriteRegistryTree(HKEY root, const std::string& path, const RegistryTree& tree);
// Removes root\path with everything below it (nothing when it is missing).
void DeleteRegistryTree(HKEY root, const std::string& path);
// One line per value, for failure messages.
std::string DescribeRegistryTree(const RegistryTree& tree, const std::string& indent = "");

bool RegistryKeyExists(HKEY root, const std::string& path);
// A string value stored with its terminator; the key is created as needed.
bool SetRegistryString(HKEY root, const std::string& path, const char* name, const std::string& text);
// Bytes stored as they are (for a REG_SZ without terminator, or oversized data).
bool SetRegistryBytes(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& bytes);
// The value's text up to its first terminator; *exists false (and "") when missing.
std::string RegistryString(HKEY root, const std::string& path, const char* name, bool* exists = nullptr);
bool DeleteRegistryValue(HKEY root, const std::string& path, const char* name);

// Snapshots of keys, restored exactly (or removed again, if they were missing) when
// the object goes away, also after a failed test.
class SavedRegistryKeys {
public:
    SavedRegistryKeys(HKEY root, const std::vector<std::string>& paths);
    ~SavedRegistryKeys();
    SavedRegistryKeys(const SavedRegistryKeys&) = delete;
    SavedRegistryKeys& operator=(const SavedRegistryKeys&) = delete;

private:
    HKEY root_;
    std::vector<std::pair<std::string, RegistryTree>> saved_;
};

// A name no other process's test uses: stem followed by the process id.
std::string ScratchName(const std::string& stem);
