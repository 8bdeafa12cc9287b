#include "updtool/no_windows.h"

#include "pak/archive_file.h"
#include "updtool/tool_output.h"

namespace {
NoWindows* active = nullptr;
}

NoWindows::NoWindows() : hook_(nullptr)
{
    hook_ = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    active = this;
}

NoWindows::~NoWindows()
{
    if (hook_)
        UnhookWindowsHookEx(hook_);
    active = nullptr;
}

LRESULT CALLBACK NoWindows::Hook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND && active) {
        const CBT_CREATEWNDA* create = reinterpret_cast<const CBT_CREATEWNDA*>(lParam);
        // Top-level windows only: a refused top-level window has no children.
        if (create && create->lpcs && !(create->lpcs->style & WS_CHILD)) {
            try {
                const char* caption = create->lpcs->lpszName;
                active->stopped.push_back(
                    caption && !IS_INTRESOURCE(caption) ? Utf8FromAnsi(caption) : std::string());
            } catch (...) {
                // Nothing may be thrown into the platform; the window is
                // stopped all the same.
            }
            return 1;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

QuietOpens::QuietOpens() : previous_(quietOpen)
{
    quietOpen = 1;
}

QuietOpens::~QuietOpens()
{
    quietOpen = previous_;
}

void QuietOpens::Restore()
{
    quietOpen = 1;
}
