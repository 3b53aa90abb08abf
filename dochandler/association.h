// The registry routines behind Install and Uninstall: taking over the ".doc"
// association with a backup, and giving it back.
#pragma once
#include <windows.h>

// Copies the verbs of the class ".doc" belongs to into classKey\shell ("open"
// becoming ".doc") and its description into classKey. backupClass (size
// characters) receives the class to restore later: ".doc" itself when ".doc" has
// no class, empty when ".doc" already belongs to "Quorbin" or its class cannot be
// opened. False when something could not be read, created or written.
bool CopyDocumentVerbs(HKEY classKey, char* backupClass, int size);

// Copies the "open" verb of the class ".txt" belongs to into classKey\shell\.txt.
bool AddTextVerb(HKEY classKey);
