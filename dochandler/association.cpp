// Install and Uninstall: the ".doc" association taken over with a backup and given
// back, around the INF sections.
#include "association.h"
#include "inf_installer.h"
#include "mbstring.h"
#include "messages.h"
#include "module.h"
#include "registry.h"
#include "resource.h"
#include "scoped.h"
#include <shlobj.h>

namespace {

// Verb names are enumerated into buffers of this size; longer ones are skipped.
const DWORD kNameSize = 32;
// Composed key names: a class name of up to 31 characters, "\shell", "\open" (or
// "shell\" and a verb), with room to spare.
const int kKeyNameSize = 64;

const char kOpenVerb[] = "open";

LONG WriteString(HKEY key, const char* name, const char* text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), lstrlenA(text) + 1);
}

// Sets the default value of key to string stringId.
bool WriteDisplayName(HKEY key, UINT stringId)
{
    char text[64] = "";
    LoadStringA(moduleInstance, stringId, text, sizeof text);
    return WriteString(key, nullptr, text) == ERROR_SUCCESS;
}

// first "\" second, in a buffer of kKeyNameSize characters.
void JoinKeyName(char* target, const char* first, const char* second)
{
    CopyBounded(target, kKeyNameSize, first);
    AppendBounded(target, kKeyNameSize, "\\");
    AppendBounded(target, kKeyNameSize, second);
}

bool AskToContinue(HWND hwnd)
{
    return ShowMessage(hwnd, IDS_REGISTRY_CONTINUE, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) == IDYES;
}

bool KeyExists(HKEY parent, const char* name)
{
    ScopedKey key;
    return key.Open(parent, name, KEY_QUERY_VALUE);
}

// The names Install and Uninstall work on.
struct AssociationNames {
    char className[32] = "";
    char docName[16] = "";
    char backupName[16] = "";
    AssociationNames()
    {
        LoadStringA(moduleInstance, IDS_CLASS_NAME, className, sizeof className);
        LoadStringA(moduleInstance, IDS_DOC_EXTENSION, docName, sizeof docName);
        LoadStringA(moduleInstance, IDS_BACKUP_VALUE, backupName, sizeof backupName);
    }
};

// What Install changes under ".doc" and whether the class was there before it.
struct AssociationBefore {
    SavedValue docClass;
    SavedValue backup;
    bool classExisted;
};

void SaveAssociation(const AssociationNames& names, AssociationBefore* before)
{
    before->docClass.state = SavedValue::Missing;
    before->backup.state = SavedValue::Missing;
    ScopedKey doc;
    if (doc.Open(HKEY_CLASSES_ROOT, names.docName, KEY_QUERY_VALUE)) {
        SaveValue(doc.Get(), nullptr, &before->docClass);
        SaveValue(doc.Get(), names.backupName, &before->backup);
    }
    before->classExisted = KeyExists(HKEY_CLASSES_ROOT, names.className);
}

// Explorer keeps the icons of a type until it is told that an association changed.
void AnnounceAssociationChange()
{
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

// A failed or stopped install puts ".doc" back as it was and removes the class only
// when the install made it: over an installation, the class that ".doc" names stays.
// docTaken: ".doc" had been made to name the class, which the shell may have seen.
BOOL TakeBackInstall(const AssociationNames& names, const AssociationBefore& before, bool docTaken)
{
    ScopedKey doc;
    if (doc.Open(HKEY_CLASSES_ROOT, names.docName, KEY_QUERY_VALUE | KEY_SET_VALUE)) {
        RestoreValue(doc.Get(), nullptr, before.docClass);
        RestoreValue(doc.Get(), names.backupName, before.backup);
    }
    if (!before.classExisted)
        DeleteRegTree(HKEY_CLASSES_ROOT, names.className);
    if (docTaken)
        AnnounceAssociationChange();
    return FALSE;
}

// Deletes a value that may be missing; false when it is there and stays.
bool DeleteValueIfThere(HKEY key, const char* name)
{
    LONG result = RegDeleteValueA(key, name);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace

bool CopyDocumentVerbs(HKEY classKey, char* backupClass, int size)
{
    backupClass[0] = '\0';
    bool copied = true;
    char docName[16] = "";
    char shellName[16] = "";
    char className[32] = "";
    LoadStringA(moduleInstance, IDS_DOC_EXTENSION, docName, sizeof docName);
    LoadStringA(moduleInstance, IDS_SHELL_KEY, shellName, sizeof shellName);
    LoadStringA(moduleInstance, IDS_CLASS_NAME, className, sizeof className);

    ScopedKey doc;
    if (!doc.Open(HKEY_CLASSES_ROOT, docName, KEY_READ))
        return false;
    char previous[32];
    if (!ReadRegistryString(doc.Get(), nullptr, previous, sizeof previous)) {
        // No class: the verbs are looked for under ".doc" itself.
        lstrcpynA(backupClass, docName, size);
        doc.Close();
    } else {
        doc.Close();
        ScopedKey previousClass;
        if (!previousClass.Open(HKEY_CLASSES_ROOT, previous, KEY_READ))
            return false;
        lstrcpynA(backupClass, previous, size);
        if (lstrcmpiA(backupClass, className) == 0) {
            // Installed already: the first backup and the copied verbs stay.
            backupClass[0] = '\0';
            return true;
        }
        char description[32];
        if (ReadRegistryString(previousClass.Get(), nullptr, description, sizeof description))
            copied = WriteString(classKey, nullptr, description) == ERROR_SUCCESS;
    }

    char verbsName[kKeyNameSize];
    JoinKeyName(verbsName, backupClass, shellName);
    ScopedKey verbs;
    if (!verbs.Open(HKEY_CLASSES_ROOT, verbsName, KEY_READ))
        return false;
    ScopedKey shell;
    if (!shell.Create(classKey, shellName))
        return false;

    LONG result;
    for (DWORD index = 0;; ++index) {
        char verb[kNameSize];
        DWORD verbSize = sizeof verb;
        result = RegEnumKeyExA(verbs.Get(), index, verb, &verbSize, nullptr, nullptr, nullptr, nullptr);
        if (result != ERROR_SUCCESS)
            break;
        bool open = lstrcmpiA(verb, kOpenVerb) == 0;
        ScopedKey oldVerb;
        if (!oldVerb.Open(verbs.Get(), verb, KEY_READ))
            continue;
        ScopedKey newVerb;
        if (!newVerb.Create(shell.Get(), open ? docName : verb)) {
            copied = false;
            continue;
        }
        copied = CopyRegTree(newVerb.Get(), oldVerb.Get()) && copied;
        if (open)
            copied = WriteDisplayName(newVerb.Get(), IDS_WORD_VERB_NAME) && copied;
    }
    return result == ERROR_NO_MORE_ITEMS && copied;
}

bool AddTextVerb(HKEY classKey)
{
    char textClass[32] = "";
    char shellName[16] = "";
    char txtName[16] = "";
    LoadStringA(moduleInstance, IDS_TXT_EXTENSION, txtName, sizeof txtName);
    LoadStringA(moduleInstance, IDS_SHELL_KEY, shellName, sizeof shellName);
    lstrcpynA(textClass, txtName, sizeof textClass);
    {
        ScopedKey txt;
        if (!txt.Open(HKEY_CLASSES_ROOT, txtName, KEY_READ))
            return false;
        char named[32];
        bool read = ReadRegistryString(txt.Get(), nullptr, named, sizeof named);
        txt.Close();
        ScopedKey namedClass;
        if (read && namedClass.Open(HKEY_CLASSES_ROOT, named, KEY_READ))
            lstrcpynA(textClass, named, sizeof textClass);
    }

    char verbsName[kKeyNameSize];
    char openName[kKeyNameSize];
    JoinKeyName(verbsName, textClass, shellName);
    JoinKeyName(openName, verbsName, kOpenVerb);
    ScopedKey open;
    if (!open.Open(HKEY_CLASSES_ROOT, openName, KEY_READ))
        return false;
    char newName[kKeyNameSize];
    JoinKeyName(newName, shellName, txtName);
    ScopedKey newVerb;
    if (!newVerb.Create(classKey, newName))
        return false;
    bool copied = CopyRegTree(newVerb.Get(), open.Get());
    return WriteDisplayName(newVerb.Get(), IDS_TEXT_VERB_NAME) && copied;
}

// Every message box is owned by hwnd; the INF section gets it on the 95/98 family
// only. Whatever fails and whatever the user answers, a 0 leaves the registry as it
// was before the call.
extern "C" BOOL WINAPI Install(HWND hwnd)
{
    const AssociationNames names;
    AssociationBefore before;
    SaveAssociation(names, &before);
    bool docTaken = false;
    auto takeBack = [&] { return TakeBackInstall(names, before, docTaken); };

    char backupClass[32] = "";
    {
        ScopedKey classKey;
        if (!classKey.Create(HKEY_CLASSES_ROOT, names.className)) {
            ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
            return FALSE;
        }
        if (!CopyDocumentVerbs(classKey.Get(), backupClass, sizeof backupClass) && !AskToContinue(hwnd))
            return takeBack();
        if (!AddTextVerb(classKey.Get()) && !AskToContinue(hwnd))
            return takeBack();
    }
    {
        ScopedKey doc;
        if (!doc.Open(HKEY_CLASSES_ROOT, names.docName, KEY_ALL_ACCESS)) {
            ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
            return takeBack();
        }
        // Without its backup the previous class could never be given back: ".doc"
        // is taken over only when the backup is stored (or there is none to store).
        bool backedUp = !backupClass[0] || WriteString(doc.Get(), names.backupName, backupClass) == ERROR_SUCCESS;
        if (!backedUp && !AskToContinue(hwnd))
            return takeBack();
        docTaken = backedUp && WriteString(doc.Get(), nullptr, names.className) == ERROR_SUCCESS;
        if (backedUp && !docTaken && !AskToContinue(hwnd))
            return takeBack();
    }
    if (!InstallInfSection(IsWindows95Family() ? hwnd : nullptr))
        return takeBack();
    AnnounceAssociationChange();
    return TRUE;
}

// A 0 leaves the component listed for another try: ".doc" given back, the class and
// the section's registrations are removed in that order, each only after the step
// before it went through.
extern "C" BOOL WINAPI Uninstall(HWND hwnd)
{
    const AssociationNames names;
    {
        ScopedKey doc;
        if (!doc.Open(HKEY_CLASSES_ROOT, names.docName, KEY_ALL_ACCESS)) {
            ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
            return FALSE;
        }
        char current[32];
        bool updated = true;
        if (!ReadRegistryString(doc.Get(), nullptr, current, sizeof current) ||
            lstrcmpiA(current, names.className) != 0) {
            // Another program owns ".doc" now: it is left as it is, and the backup,
            // which nothing would ever read again, goes.
            if (ShowMessage(hwnd, IDS_NOT_ASSOCIATED, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
                return FALSE;
            updated = DeleteValueIfThere(doc.Get(), names.backupName);
        } else {
            char backup[32];
            if (ReadRegistryString(doc.Get(), names.backupName, backup, sizeof backup)) {
                updated = WriteString(doc.Get(), nullptr, backup) == ERROR_SUCCESS &&
                          RegDeleteValueA(doc.Get(), names.backupName) == ERROR_SUCCESS;
            } else {
                int answer = ShowMessage(hwnd, IDS_NO_BACKUP, MB_YESNOCANCEL | MB_ICONEXCLAMATION);
                // Yes leaves ".doc" without a class, No leaves it naming "Quorbin";
                // anything else (Cancel, or a box that could not be shown) stops.
                if (answer == IDYES)
                    updated = DeleteValueIfThere(doc.Get(), nullptr);
                else if (answer != IDNO)
                    return FALSE;
            }
        }
        if (!updated) {
            doc.Close();
            ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
            return FALSE;
        }
    }
    // Once the section has taken the component's value away nothing could remove
    // what is left of the class: a class that stays ends the removal here.
    BOOL removed = FALSE;
    if (!DeleteRegTree(HKEY_CLASSES_ROOT, names.className) && KeyExists(HKEY_CLASSES_ROOT, names.className))
        ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
    else
        removed = UninstallInfSection(IsWindows95Family() ? hwnd : nullptr);
    // ".doc" has changed, or its class has gone, whatever the later steps gave.
    AnnounceAssociationChange();
    return removed;
}
