// The registry routines behind Install and Uninstall: taking over the ".doc"
// association with a backup, and giving it back.
#pragma once
#include <windows.h>

// parent\name created, or opened when it exists (all access); null on failure.
HKEY CreateRegKey(HKEY parent, const char* name);

// Copies every value and subkey of source into target, at every depth. Names of 32
// characters or more and data larger than 260 bytes are left out; what target
// already holds stays unless a copied value of the same name replaces it. False when
// a value or key could not be written (what fits is copied all the same).
bool CopyRegTree(HKEY target, HKEY source);

// Deletes parent\name with everything below it; true when the key itself went.
bool DeleteRegTree(HKEY parent, const char* name);

// Copies the verbs of the class ".doc" belongs to into classKey\shell ("open"
// becoming ".doc") and its description into classKey. backupClass (size
// characters) receives the class to restore later: ".doc" itself when ".doc" has
// no class, empty when ".doc" already belongs to "Quorbin" or its class cannot be
// opened. False when something could not be read, created or written.
bool CopyDocumentVerbs(HKEY classKey, char* backupClass, int size);

// Copies the "open" verb of the class ".txt" belongs to into classKey\shell\.txt.
bool AddTextVerb(HKEY classKey);
