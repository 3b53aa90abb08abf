// The keys the suite's INF files create as containers of their entries: the maker's
// key, the component key, the shell's lists of property-sheet handlers for all files
// and for folders, and the Control Panel's categories. Others may keep entries in
// them, so no uninstall section can remove them; the suite records which of them it
// created and removes those once they are empty.
#pragma once
#include <windows.h>

// The containers that do not exist now, one bit each.
DWORD AbsentSuiteKeys();

// Adds the containers of absentBefore that exist now to the record kept in the
// maker's key; false when the record cannot be written.
bool RecordCreatedSuiteKeys(DWORD absentBefore);

// Removes, children first, each container of mask that holds nothing (the maker's
// key may still hold the record).
void RemoveEmptySuiteKeys(DWORD mask);

// The same for every container the record names, after a removal: the record goes
// with the last of them. Failures are left for the next removal to retry.
void RemoveRecordedSuiteKeys();
