#include "app/progress_window.h"

#include <commctrl.h>
#include "app/resource_ids.h"
#include "base/text_932.h"

namespace {

// Nothing to answer: the window only shows. Escape and Alt+F4 arrive as
// IDCANCEL and are ignored, since the update cannot stop between files.
INT_PTR CALLBACK ProgressDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

// Runs what is queued for this thread's windows: paint, moves, and the
// messages other processes send. A quit request is left for the loop that
// owns the thread.
void RunPendingMessages(HWND window)
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(int(message.wParam));
            return;
        }
        if (!IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

}  // namespace

ProgressWindow::ProgressWindow(const char* caption, uint64_t totalBytes, DWORD startTick,
                               DWORD delayMs)
    : window(nullptr), totalBytes_(totalBytes), doneBytes_(0), itemEnd_(0),
      startTick_(startTick), delayMs_(delayMs), shownPosition_(0), tried_(false)
{
    caption_ = WideFrom932(caption);
}

ProgressWindow::~ProgressWindow()
{
    if (window)
        DestroyWindow(window);
}

void ProgressWindow::BeginItem(const char* item, uint64_t size, bool checking)
{
    doneBytes_ = itemEnd_;
    itemEnd_ = doneBytes_ + size;
    String text;
    text.Format(checking ? "確認中：%s" : "コピー中：%s", item);
    itemText_ = WideFrom932(text);
    if (window)
        SetDlgItemTextW(window, IDC_PROGRESS_ITEM, itemText_.c_str());
    Step(true);
}

void ProgressWindow::Advance(uint32_t bytes)
{
    const uint64_t left = itemEnd_ - doneBytes_;
    doneBytes_ += bytes < left ? bytes : left;
    Step(true);
}

void ProgressWindow::EndItem()
{
    doneBytes_ = itemEnd_;
    Step(false);
}

void ProgressWindow::OnChunk(uint32_t bytes, void* user)
{
    static_cast<ProgressWindow*>(user)->Advance(bytes);
}

void ProgressWindow::Step(bool mayShow)
{
    if (!window && !tried_ && mayShow && GetTickCount() - startTick_ >= delayMs_)
        Show();
    if (!window)
        return;
    const int position = Position();
    if (position > shownPosition_) {
        shownPosition_ = position;
        SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETPOS, WPARAM(position), 0);
    }
    RunPendingMessages(window);
}

void ProgressWindow::Show()
{
    tried_ = true;
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);
    // Without owner, like every box of the updater: the boxes are topmost and
    // stay above it; it is not topmost itself.
    window = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PROGRESS),
                                nullptr, ProgressDialogProc, 0);
    if (!window)
        return;  // the copy goes on without it
    SetWindowTextW(window, caption_.c_str());
    SetDlgItemTextW(window, IDC_PROGRESS_ITEM, itemText_.c_str());
    SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETRANGE32, 0, barRange);
    shownPosition_ = Position();
    SendDlgItemMessageW(window, IDC_PROGRESS_BAR, PBM_SETPOS, WPARAM(shownPosition_), 0);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
}

int ProgressWindow::Position() const
{
    if (totalBytes_ == 0)
        return 0;
    uint64_t done = doneBytes_;
    uint64_t total = totalBytes_;
    // Only a list of absurd length gets near the product's limit; halving
    // both keeps the share.
    while (total > UINT64_MAX / barRange) {
        total >>= 1;
        done >>= 1;
    }
    const uint64_t position = done * barRange / total;
    return position < uint64_t(barRange) ? int(position) : barRange;
}
