// Message boxes of a module under test, answered by a script instead of a user:
// MessageBoxA is replaced at the module's import table and every call recorded.
#pragma once
#include <windows.h>
#include <deque>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

struct RecordedBox {
    HWND owner;
    std::string text;
    std::string caption;
    UINT type;
    bool operator==(const RecordedBox& other) const
    {
        return owner == other.owner && text == other.text && caption == other.caption && type == other.type;
    }
};
// A box as a failure message shows it.
std::ostream& operator<<(std::ostream& out, const RecordedBox& box);

// A hidden top-level window standing in for Control Panel, an installer or another
// owner of the boxes.
class OwnerWindow {
public:
    explicit OwnerWindow(const char* title = "Owner");
    ~OwnerWindow();
    OwnerWindow(const OwnerWindow&) = delete;
    OwnerWindow& operator=(const OwnerWindow&) = delete;
    HWND Get() const { return window_; }

private:
    HWND window_;
};

class MessageBoxScript {
public:
    explicit MessageBoxScript(HMODULE module);
    ~MessageBoxScript();
    MessageBoxScript(const MessageBoxScript&) = delete;
    MessageBoxScript& operator=(const MessageBoxScript&) = delete;

    // The answers, in order; when they run out the box answers IDOK.
    void Answer(std::initializer_list<int> answers) { answers_.assign(answers); }
    const std::vector<RecordedBox>& Boxes() const { return boxes_; }
    bool Applied() const;

private:
    static int WINAPI Hook(HWND owner, const char* text, const char* caption, UINT type);
    static MessageBoxScript* current_;
    std::unique_ptr<class ImportPatch> patch_;
    std::deque<int> answers_;
    std::vector<RecordedBox> boxes_;
};
