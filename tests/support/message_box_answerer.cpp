#include "tests/support/message_box_answerer.h"

#include "base/text_932.h"

namespace {
thread_local DialogWatcher* activeWatcher = nullptr;
}

DialogWatcher::DialogWatcher(std::function<void(HWND)> onWindow)
    : onWindow_(std::move(onWindow)), hook_(nullptr), outer_(activeWatcher)
{
    hook_ = SetWindowsHookExA(WH_CBT, &DialogWatcher::Hook, nullptr, GetCurrentThreadId());
    activeWatcher = this;
}

DialogWatcher::~DialogWatcher()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    activeWatcher = outer_;
}

LRESULT CALLBACK DialogWatcher::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    DialogWatcher* self = activeWatcher;
    if (code == HCBT_ACTIVATE && self) {
        HWND window = reinterpret_cast<HWND>(wParam);
        char className[32] = {};
        GetClassNameA(window, className, sizeof className);
        // A window is activated again after a nested box closes; a property
        // marks the ones already handed out.
        if (lstrcmpA(className, "#32770") == 0 && !GetPropA(window, "TestSeen")) {
            SetPropA(window, "TestSeen", reinterpret_cast<HANDLE>(1));
            self->onWindow_(window);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

namespace {

// Read in UTF-16, as the user sees it on any system, and given back in code
// page 932 as the tests write their expectations.
std::string Shown(const wchar_t* text)
{
    String shown;
    ShownIn932(text, shown);
    return TextOf(shown);
}

}  // namespace

std::string WindowText(HWND window)
{
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, 4096);
    return Shown(buffer);
}

std::string ControlText(HWND dialog, int controlId)
{
    wchar_t buffer[4096] = {};
    GetDlgItemTextW(dialog, controlId, buffer, 4096);
    return Shown(buffer);
}

MessageBoxAnswerer::MessageBoxAnswerer(std::vector<int> answers)
    : answers_(std::move(answers)), next_(0),
      watcher_([this](HWND box) {
          boxes.push_back({WindowText(box), ControlText(box, 0xFFFF)});
          const int answer = next_ < answers_.size() ? answers_[next_++] : IDOK;
          PostMessageA(box, WM_COMMAND, answer, 0);
      })
{
}

MessageBoxAnswerer::~MessageBoxAnswerer() = default;
