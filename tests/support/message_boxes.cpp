// Scripted message boxes.
#include "message_boxes.h"
#include "import_patch.h"

MessageBoxScript* MessageBoxScript::current_ = nullptr;

OwnerWindow::OwnerWindow(const char* title)
    : window_(CreateWindowExA(0, "STATIC", title, WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr))
{
}

OwnerWindow::~OwnerWindow()
{
    if (window_)
        DestroyWindow(window_);
}

std::ostream& operator<<(std::ostream& out, const RecordedBox& box)
{
    return out << "{owner " << box.owner << ", \"" << box.text << "\", \"" << box.caption << "\", type 0x" << std::hex
               << box.type << std::dec << "}";
}

MessageBoxScript::MessageBoxScript(HMODULE module)
    : patch_(new ImportPatch(module, "user32.dll", "MessageBoxA", reinterpret_cast<const void*>(&Hook)))
{
    current_ = this;
}

MessageBoxScript::~MessageBoxScript()
{
    current_ = nullptr;
}

bool MessageBoxScript::Applied() const
{
    return patch_->Applied();
}

int WINAPI MessageBoxScript::Hook(HWND owner, const char* text, const char* caption, UINT type)
{
    MessageBoxScript* self = current_;
    self->boxes_.push_back({owner, text ? text : "", caption ? caption : "", type});
    if (self->answers_.empty())
        return IDOK;
    int answer = self->answers_.front();
    self->answers_.pop_front();
    return answer;
}
