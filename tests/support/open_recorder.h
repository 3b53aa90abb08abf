// OPENREC.EXE as the open command of a class: the test learns which document the
// shell started it with.
#pragma once
#include "temp_files.h"
#include <windows.h>
#include <string>

class OpenRecorder {
public:
    OpenRecorder();
    ~OpenRecorder();
    OpenRecorder(const OpenRecorder&) = delete;
    OpenRecorder& operator=(const OpenRecorder&) = delete;

    // The command line to register: the program, then "%1" in quotes, after
    // prefix (which tells apart the verbs that run it).
    std::string Command(const std::string& prefix = "") const;
    // Waits until the program has run (a minute at most, so that a chain that never
    // starts it fails instead of hanging); true with the argument it got. Each call
    // waits for a run of its own.
    bool WaitForRun(std::string* argument) const;

private:
    TempDir temp_;
    std::string recordPath_;
    std::string eventName_;
    HANDLE event_;
};
