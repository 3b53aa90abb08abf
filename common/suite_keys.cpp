// Container keys created by the suite: recorded when created, removed when empty.
#include "suite_keys.h"
#include "scoped.h"

namespace {

struct SuiteKey {
    HKEY root;
    const char* path;
    DWORD bit;  // in the record, which outlives a version of the suite
};

// Children before their parents, the maker's key (which holds the record) last.
// HKEY_CLASSES_ROOT "*", "*\shellex" and "Directory\shellex\PropertySheetHandlers"
// exist on every Windows, as do the Control Panel's "Extended Properties" from
// Windows Vista on; they are listed for a system where they do not.
const SuiteKey kSuiteKeys[] = {
    {HKEY_CLASSES_ROOT, "*\\shellex\\PropertySheetHandlers", 1u << 0},
    {HKEY_CLASSES_ROOT, "*\\shellex", 1u << 1},
    {HKEY_CLASSES_ROOT, "*", 1u << 2},
    {HKEY_CLASSES_ROOT, "Directory\\shellex\\PropertySheetHandlers", 1u << 7},
    {HKEY_CLASSES_ROOT, "Directory\\shellex", 1u << 8},
    {HKEY_CLASSES_ROOT, "Directory", 1u << 9},
    {HKEY_LOCAL_MACHINE,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended Properties\\System.ControlPanel.Category",
     1u << 5},
    {HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Control Panel\\Extended Properties", 1u << 6},
    {HKEY_LOCAL_MACHINE, "Software\\Farrowmere\\ShellExt", 1u << 3},
    {HKEY_LOCAL_MACHINE, "Software\\Farrowmere", 1u << 4},
};
const int kSuiteKeyCount = sizeof kSuiteKeys / sizeof kSuiteKeys[0];
const int kMakerKey = kSuiteKeyCount - 1;

// A REG_DWORD in the maker's key: a key's bit is set when the suite created it.
const char kRecordName[] = "KelvaraCreatedKeys";

bool SuiteKeyExists(int index)
{
    ScopedKey key;
    return key.Open(kSuiteKeys[index].root, kSuiteKeys[index].path, KEY_QUERY_VALUE);
}

// No subkey and no value, apart from the record in the maker's key.
bool SuiteKeyIsEmpty(int index)
{
    ScopedKey key;
    if (!key.Open(kSuiteKeys[index].root, kSuiteKeys[index].path, KEY_QUERY_VALUE))
        return false;
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return false;
    if (index == kMakerKey && values == 1 &&
        RegQueryValueExA(key.Get(), kRecordName, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        values = 0;
    return subkeys == 0 && values == 0;
}

DWORD ReadRecord(HKEY makerKey)
{
    DWORD record = 0;
    DWORD size = sizeof record;
    DWORD type = 0;
    if (RegQueryValueExA(makerKey, kRecordName, nullptr, &type, reinterpret_cast<BYTE*>(&record), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof record)
        return 0;
    return record;
}

LONG WriteRecord(HKEY makerKey, DWORD record)
{
    return RegSetValueExA(makerKey, kRecordName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&record),
                          sizeof record);
}

}  // namespace

DWORD AbsentSuiteKeys()
{
    DWORD absent = 0;
    for (int i = 0; i < kSuiteKeyCount; ++i)
        if (!SuiteKeyExists(i))
            absent |= kSuiteKeys[i].bit;
    return absent;
}

bool RecordCreatedSuiteKeys(DWORD absentBefore)
{
    DWORD created = absentBefore & ~AbsentSuiteKeys();
    if (!created)
        return true;
    ScopedKey maker;
    bool makerCreated = false;
    if (!maker.Create(kSuiteKeys[kMakerKey].root, kSuiteKeys[kMakerKey].path, KEY_QUERY_VALUE | KEY_SET_VALUE,
                      &makerCreated))
        return false;
    if (makerCreated)
        created |= kSuiteKeys[kMakerKey].bit;
    return WriteRecord(maker.Get(), ReadRecord(maker.Get()) | created) == ERROR_SUCCESS;
}

void RemoveEmptySuiteKeys(DWORD mask)
{
    for (int i = 0; i < kSuiteKeyCount; ++i) {
        if ((mask & kSuiteKeys[i].bit) && SuiteKeyIsEmpty(i))
            RegDeleteKeyA(kSuiteKeys[i].root, kSuiteKeys[i].path);
    }
}

void RemoveRecordedSuiteKeys()
{
    DWORD record;
    {
        ScopedKey maker;
        if (!maker.Open(kSuiteKeys[kMakerKey].root, kSuiteKeys[kMakerKey].path, KEY_QUERY_VALUE))
            return;
        record = ReadRecord(maker.Get());
    }
    // What an earlier removal took away is no longer the record's either.
    RemoveEmptySuiteKeys(record);
    DWORD left = record & ~AbsentSuiteKeys();
    // The maker's key is still there: it was not the suite's, or it holds more.
    ScopedKey maker;
    if (left == record || !maker.Open(kSuiteKeys[kMakerKey].root, kSuiteKeys[kMakerKey].path, KEY_SET_VALUE))
        return;
    if (left)
        WriteRecord(maker.Get(), left);
    else
        RegDeleteValueA(maker.Get(), kRecordName);
}
