// KELVARA.CPL under test: the component key it reads, a stand-in Control Panel
// window, and the calls it makes at its import table (help, browser, setup library,
// restart prompt, Windows version, command line, library loads, the sheet's header,
// security look-ups).
#pragma once
#include "help_recorder.h"
#include "deliverables.h"
#include "import_patch.h"
#include "message_boxes.h"
#include "registry_tree.h"
#include "temp_files.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <prsht.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>

extern const char kComponentKey[];  // under HKEY_LOCAL_MACHINE

// Saves the component key, starts the test without it, and puts it back afterwards.
class ComponentKey {
public:
    ComponentKey();
    ~ComponentKey();
    void Create() const;
    void SetDirectory(const std::string& directory) const;  // the unnamed value
    void Add(const std::string& name, const std::string& path) const;
    void AddBytes(const std::string& name, DWORD type, const std::string& bytes) const;
    // (name, data) of every value in the order RegEnumValueA gives them.
    std::vector<std::pair<std::string, std::string>> Values() const;
    bool Exists() const;

private:
    SavedRegistryKeys saved_;
};

struct ShellExecuteCall {
    HWND owner;
    std::string verb;  // "(null)" for none
    std::string file;
    std::string parameters;
    std::string directory;
    INT show;
};
struct SectionCall {
    HWND owner;
    std::string section;
    UINT flags;
    UINT copyFlags;
};
struct RebootPrompt {
    void* queue;
    HWND owner;
    BOOL scanOnly;
};
struct SecurityCall {  // SetNamedSecurityInfoA
    std::string path;
    SE_OBJECT_TYPE type;
    SECURITY_INFORMATION info;
    std::vector<BYTE> dacl;  // a copy of the list given, empty for none
};
struct SheetHeader {
    PROPSHEETHEADERA header;  // ppsp points to memory gone after the call
    std::string caption;
    std::vector<PROPSHEETPAGEA_V1> pages;  // copies of the page slots
};

// Observes (and partly answers) the applet's calls while it lives. Only one at a time.
class AppletObserver {
public:
    explicit AppletObserver(HMODULE applet);
    ~AppletObserver();
    AppletObserver(const AppletObserver&) = delete;
    AppletObserver& operator=(const AppletObserver&) = delete;

    // The version GetVersion answers (0: the system's own).
    DWORD version = 0;
    // Answers of the setup library: run the real call, or fail it.
    bool failSection = false;
    bool failQueueContext = false;
    // GlobalAlloc fails from this call on (1 = the first), 0 never; LocalAlloc alike.
    int failGlobalAllocFrom = 0;
    int failLocalAllocFrom = 0;
    // RegOpenKeyExA of the component key fails from this call on, 0 never.
    int failKeyOpenFrom = 0;
    bool denyKeyWrites = false;     // RegOpenKeyExA of an HKLM key asking a write right fails
    DWORD shellExecuteExError = 0;  // ShellExecuteExA fails with it; 0 reports a started program
    DWORD elevated = 1;             // TokenElevation after the real GetTokenInformation (Wine's own: 1)
    std::string commandLine;        // GetCommandLineA's answer; empty for the process's own

    HelpRecorder help;
    std::vector<ShellExecuteCall> shellExecutes;
    std::vector<ShellExecuteCall> shellExecuteExs;
    std::vector<SecurityCall> securitySets;
    std::vector<SectionCall> sections;
    std::vector<std::string> infOpens;
    std::vector<RebootPrompt> rebootPrompts;
    std::vector<std::string> libraryLoads;
    std::vector<REGSAM> keyOpens;  // access asked for the component key
    std::vector<SheetHeader> sheets;
    int globalAllocs = 0;
    int localAllocs = 0;
    // Call order, one word per observed call but help ("section", "reboot", ...).
    std::vector<std::string> order;

    bool Applied() const;
    // Forgets every recorded call and answers as after construction.
    void Reset();

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};

// KELVARA.CPL loaded for a test, beside a saved and cleared component key, a
// temporary directory and a stand-in Control Panel window.
class AppletTest : public ::testing::Test {
protected:
    using CplEntry = LONG(APIENTRY*)(HWND, UINT, LPARAM, LPARAM);
    void SetUp() override;
    // Opens the item as Control Panel does (CPL_DBLCLK) and hands its sheet to action
    // once it shows, which must close it; whether the sheet showed.
    bool OpenSheet(const std::function<void(HWND sheet)>& action);

    ComponentKey key;
    TempDir temp{"kva"};
    OwnerWindow controlPanel{"Control Panel"};
    LoadedLibrary applet{DistPath("KELVARA.CPL")};
    CplEntry entry = nullptr;
};

// Copies fixture library name into directory as newName; its full path.
std::string CopyFixture(const std::string& directory, const std::string& name, const std::string& newName);
