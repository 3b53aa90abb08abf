// One registry value as stored: its type and its bytes.
#pragma once
#include <windows.h>
#include <string>

struct RegistryValue {
    DWORD type = REG_NONE;
    std::string data;  // the stored bytes, a terminator only where one was stored
    bool operator==(const RegistryValue& other) const { return type == other.type && data == other.data; }
    bool operator!=(const RegistryValue& other) const { return !(*this == other); }
};
