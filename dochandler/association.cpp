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

namespace {

// Registry names are enumerated into buffers of this size; longer ones are skipped.
const DWORD kNameSize = 32;
// Value data is copied through a buffer of this size; larger values are skipped.
const DWORD kDataSize = 260;
// Composed key names: a class name of up to 31 characters, "\shell", "\open" (or
// "shell\" and a verb), with room to spare.
const int kKeyNameSize = 64;

const char kOpenVerb[] = "open";

bool CreateOwnedKey(ScopedKey& owner, HKEY parent, const char* name)
{
    HKEY key = CreateRegKey(parent, name);
    *owner.Receive() = key;
    return key != nullptr;
}

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

// What Install changes under ".doc" and whether the class was there before it.
struct AssociationBefore {
    SavedValue docClass;
    SavedValue backup;
    bool classExisted;
};

void SaveAssociation(const char* docName, const char* backupName, const char* className, AssociationBefore* before)
{
    before->docClass.state = SavedValue::Missing;
    before->backup.state = SavedValue::Missing;
    ScopedKey doc;
    if (doc.Open(HKEY_CLASSES_ROOT, docName, KEY_QUERY_VALUE)) {
        SaveValue(doc.Get(), nullptr, &before->docClass);
        SaveValue(doc.Get(), backupName, &before->backup);
    }
    before->classExisted = KeyExists(HKEY_CLASSES_ROOT, className);
}

// A failed or stopped install puts ".doc" back as it was and removes the class only
// when the install made it: over an installation, the class that ".doc" names stays.
BOOL TakeBackInstall(const char* docName, const char* backupName, const char* className,
                     const AssociationBefore& before)
{
    ScopedKey doc;
    if (doc.Open(HKEY_CLASSES_ROOT, docName, KEY_QUERY_VALUE | KEY_SET_VALUE)) {
        RestoreValue(doc.Get(), nullptr, before.docClass);
        RestoreValue(doc.Get(), backupName, before.backup);
    }
    if (!before.classExisted)
        DeleteRegTree(HKEY_CLASSES_ROOT, className);
    return FALSE;
}

// Deletes a value that may be missing; false when it is there and stays.
bool DeleteValueIfThere(HKEY key, const char* name)
{
    LONG result = RegDeleteValueA(key, name);
    return result == ERROR_SUCCESS || result == ERROR_FILE_NOT_FOUND;
}

}  // namespace

HKEY CreateRegKey(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return nullptr;
    return key;
}

bool CopyRegTree(HKEY target, HKEY source)
{
    bool copied = true;
    // ERROR_MORE_DATA (a name or data that does not fit) skips one entry; any
    // answer but success or that one ends the loop, so a key deleted meanwhile
    // cannot keep it turning.
    for (DWORD index = 0;; ++index) {
        char name[kNameSize];
        DWORD nameSize = sizeof name;
        DWORD type = 0;
        BYTE data[kDataSize];
        DWORD dataSize = sizeof data;
        LONG result = RegEnumValueA(source, index, name, &nameSize, nullptr, &type, data, &dataSize);
        if (result == ERROR_SUCCESS)
            copied = RegSetValueExA(target, name, 0, type, data, dataSize) == ERROR_SUCCESS && copied;
        else if (result != ERROR_MORE_DATA)
            break;
    }
    for (DWORD index = 0;; ++index) {
        char name[kNameSize];
        DWORD nameSize = sizeof name;
        LONG result = RegEnumKeyExA(source, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA)
            continue;
        if (result != ERROR_SUCCESS)
            break;
        ScopedKey child;
        if (!child.Open(source, name, KEY_READ))
            continue;
        ScopedKey copy;
        copied = CreateOwnedKey(copy, target, name) && CopyRegTree(copy.Get(), child.Get()) && copied;
    }
    return copied;
}

bool DeleteRegTree(HKEY parent, const char* name)
{
    {
        ScopedKey key;
        if (!key.Open(parent, name, KEY_ALL_ACCESS))
            return false;
        DWORD subkeys = 0;
        DWORD values = 0;
        if (RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                             nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            subkeys = 0;
            values = 0;
        }
        // From the last index down, so the indices still to visit stay valid.
        for (DWORD index = values; index-- > 0;) {
            char valueName[kNameSize];
            DWORD nameSize = sizeof valueName;
            if (RegEnumValueA(key.Get(), index, valueName, &nameSize, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS)
                RegDeleteValueA(key.Get(), valueName);
        }
        for (DWORD index = subkeys; index-- > 0;) {
            char subkeyName[kNameSize];
            DWORD nameSize = sizeof subkeyName;
            if (RegEnumKeyExA(key.Get(), index, subkeyName, &nameSize, nullptr, nullptr, nullptr, nullptr) ==
                ERROR_SUCCESS)
                DeleteRegTree(key.Get(), subkeyName);
        }
    }
    return RegDeleteKeyA(parent, name) == ERROR_SUCCESS;
}

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
    if (!CreateOwnedKey(shell, classKey, shellName))
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
        if (!CreateOwnedKey(newVerb, shell.Get(), open ? docName : verb)) {
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
    if (!CreateOwnedKey(newVerb, classKey, newName))
        return false;
    bool copied = CopyRegTree(newVerb.Get(), open.Get());
    return WriteDisplayName(newVerb.Get(), IDS_TEXT_VERB_NAME) && copied;
}

// Every message box is owned by hwnd; the INF section gets it on the 95/98 family
// only. Whatever fails and whatever the user answers, a 0 leaves the registry as it
// was before the call.
extern "C" BOOL WINAPI Install(HWND hwnd)
{
    char className[32] = "";
    char docName[16] = "";
    char backupName[16] = "";
    LoadStringA(moduleInstance, IDS_CLASS_NAME, className, sizeof className);
    LoadStringA(moduleInstance, IDS_DOC_EXTENSION, docName, sizeof docName);
    LoadStringA(moduleInstance, IDS_BACKUP_VALUE, backupName, sizeof backupName);
    AssociationBefore before;
    SaveAssociation(docName, backupName, className, &before);
    auto takeBack = [&] { return TakeBackInstall(docName, backupName, className, before); };

    char backupClass[32] = "";
    {
        ScopedKey classKey;
        if (!CreateOwnedKey(classKey, HKEY_CLASSES_ROOT, className)) {
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
        if (!doc.Open(HKEY_CLASSES_ROOT, docName, KEY_ALL_ACCESS)) {
            ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
            return takeBack();
        }
        // Without its backup the previous class could never be given back: ".doc"
        // is taken over only when the backup is stored (or there is none to store).
        bool backedUp = !backupClass[0] || WriteString(doc.Get(), backupName, backupClass) == ERROR_SUCCESS;
        if (!backedUp && !AskToContinue(hwnd))
            return takeBack();
        if (backedUp && WriteString(doc.Get(), nullptr, className) != ERROR_SUCCESS && !AskToContinue(hwnd))
            return takeBack();
    }
    if (!InstallInfSection(IsWindows95Family() ? hwnd : nullptr))
        return takeBack();
    return TRUE;
}

// A 0 leaves the component listed for another try: ".doc" given back, the class and
// the section's registrations are removed in that order, each only after the step
// before it went through.
extern "C" BOOL WINAPI Uninstall(HWND hwnd)
{
    char className[32] = "";
    char docName[16] = "";
    char backupName[16] = "";
    LoadStringA(moduleInstance, IDS_CLASS_NAME, className, sizeof className);
    LoadStringA(moduleInstance, IDS_DOC_EXTENSION, docName, sizeof docName);
    LoadStringA(moduleInstance, IDS_BACKUP_VALUE, backupName, sizeof backupName);
    {
        ScopedKey doc;
        if (!doc.Open(HKEY_CLASSES_ROOT, docName, KEY_ALL_ACCESS)) {
            ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
            return FALSE;
        }
        char current[32];
        bool updated = true;
        if (!ReadRegistryString(doc.Get(), nullptr, current, sizeof current) ||
            lstrcmpiA(current, className) != 0) {
            // Another program owns ".doc" now: it is left as it is, and the backup,
            // which nothing would ever read again, goes.
            if (ShowMessage(hwnd, IDS_NOT_ASSOCIATED, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON2) != IDYES)
                return FALSE;
            updated = DeleteValueIfThere(doc.Get(), backupName);
        } else {
            char backup[32];
            if (ReadRegistryString(doc.Get(), backupName, backup, sizeof backup)) {
                updated = WriteString(doc.Get(), nullptr, backup) == ERROR_SUCCESS &&
                          RegDeleteValueA(doc.Get(), backupName) == ERROR_SUCCESS;
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
    if (!DeleteRegTree(HKEY_CLASSES_ROOT, className) && KeyExists(HKEY_CLASSES_ROOT, className)) {
        ShowMessage(hwnd, IDS_REGISTRY_FAILED, MB_ICONERROR);
        return FALSE;
    }
    return UninstallInfSection(IsWindows95Family() ? hwnd : nullptr);
}
