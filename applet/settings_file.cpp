// KELVARA.INI, made at installation and opened to every user of the machine. On the
// NT family the installation directory below the system directory is writable by
// administrators only, and the settings page of a standard user writes this file.
#include "applet.h"
#include "file_paths.h"
#include "module.h"
#include "resource.h"
#include <aclapi.h>

namespace {

typedef DWORD(WINAPI* GetNamedSecurityInfoFunction)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID*, PSID*,
                                                     PACL*, PACL*, PSECURITY_DESCRIPTOR*);
typedef DWORD(WINAPI* SetEntriesInAclFunction)(ULONG, PEXPLICIT_ACCESS_A, PACL, PACL*);
typedef DWORD(WINAPI* SetNamedSecurityInfoFunction)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL,
                                                     PACL);

// BUILTIN\Users, S-1-5-32-545, laid out as a SID.
struct {
    BYTE revision;
    BYTE subAuthorityCount;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD subAuthority[2];
} usersSid = {SID_REVISION, 2, {SECURITY_NT_AUTHORITY}, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_USERS}};

// Adds read and write access for the Users group to the file's own access list; the
// entries it inherits from the directory stay as they are.
bool LetUsersWrite(char* path)
{
    auto getSecurity = reinterpret_cast<GetNamedSecurityInfoFunction>(
        SystemFunction("advapi32.dll", "GetNamedSecurityInfoA"));
    auto setEntries = reinterpret_cast<SetEntriesInAclFunction>(
        SystemFunction("advapi32.dll", "SetEntriesInAclA"));
    auto setSecurity = reinterpret_cast<SetNamedSecurityInfoFunction>(
        SystemFunction("advapi32.dll", "SetNamedSecurityInfoA"));
    if (!getSecurity || !setEntries || !setSecurity)
        return false;
    PACL present = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (getSecurity(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &present, nullptr,
                    &descriptor) != ERROR_SUCCESS)
        return false;
    EXPLICIT_ACCESS_A access = {};
    access.grfAccessPermissions = FILE_GENERIC_READ | FILE_GENERIC_WRITE;
    access.grfAccessMode = GRANT_ACCESS;
    access.grfInheritance = NO_INHERITANCE;
    access.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    access.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    access.Trustee.ptstrName = reinterpret_cast<LPSTR>(&usersSid);
    PACL granted = nullptr;
    DWORD result = setEntries(1, &access, present, &granted);
    if (result == ERROR_SUCCESS) {
        result = setSecurity(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, granted, nullptr);
        LocalFree(granted);
    }
    LocalFree(descriptor);
    return result == ERROR_SUCCESS;
}

}  // namespace

bool ShareSettingsFile(const char* directory)
{
    char path[MAX_PATH];
    if (!MakeFilePath(path, sizeof path, directory, nullptr, MAKEINTRESOURCEA(IDS_SETTINGS_FILE)))
        return false;
    // Settings kept from an earlier installation stay.
    HANDLE file = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return LetUsersWrite(path);
}
