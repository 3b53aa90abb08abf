// The recording open command.
#include "open_recorder.h"
#include "deliverables.h"

OpenRecorder::OpenRecorder() : temp_("kvtrec")
{
    static LONG counter = 0;
    char name[64];
    wsprintfA(name, "KvtOpenRec%lu_%ld", GetCurrentProcessId(), InterlockedIncrement(&counter));
    eventName_ = name;
    event_ = CreateEventA(nullptr, TRUE, FALSE, name);
    recordPath_ = temp_ / "argument.txt";
    SetEnvironmentVariableA("KVT_OPENREC_FILE", recordPath_.c_str());
    SetEnvironmentVariableA("KVT_OPENREC_EVENT", eventName_.c_str());
}

OpenRecorder::~OpenRecorder()
{
    SetEnvironmentVariableA("KVT_OPENREC_FILE", nullptr);
    SetEnvironmentVariableA("KVT_OPENREC_EVENT", nullptr);
    if (event_)
        CloseHandle(event_);
}

std::string OpenRecorder::Command(const std::string& prefix) const
{
    return "\"" + FixturePath("OPENREC.EXE") + "\" \"" + prefix + "%1\"";
}

bool OpenRecorder::WaitForRun(std::string* argument) const
{
    if (!event_ || WaitForSingleObject(event_, 60000) != WAIT_OBJECT_0)
        return false;
    *argument = ReadWholeFile(recordPath_);
    ResetEvent(event_);  // ready for the next run
    return true;
}
