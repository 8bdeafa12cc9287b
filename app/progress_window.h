#pragma once
// The window that follows a long update: the item being copied and one bar
// over the bytes of the whole update. It appears only once the update has run
// for a while and is still copying, so a short update shows nothing. The copy
// runs on the user-interface thread; every step lets the window's pending
// messages run, so it moves and repaints meanwhile.

#include <windows.h>
#include <cstdint>
#include <string>

class ProgressWindow {
public:
    // The bar's range: positions are the done share of totalBytes scaled to
    // 0..barRange, so totals beyond 4 GiB fit the control's 32-bit range.
    static constexpr int barRange = 10000;

    HWND window;  // dialog 103; null until shown, and when it cannot be made

    // caption: the window's title (code page 932). totalBytes: the sizes of every item that
    // will be applied. The window is shown at the first BeginItem or Advance
    // once delayMs have passed since startTick (GetTickCount).
    ProgressWindow(const char* caption, uint64_t totalBytes, DWORD startTick, DWORD delayMs);
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;
    // Destroys the window, also while an exception passes, so whatever box
    // comes next never shows with it.
    virtual ~ProgressWindow();

    // The next item, of size bytes, begins; item is the name shown (code
    // page 932), after "コピー中：", or "確認中：" while its source is
    // checked before anything is copied.
    void BeginItem(const char* item, uint64_t size, bool checking = false);
    // bytes more of the current item are copied; counts beyond the item's
    // size are not taken (the bar never runs into the next item).
    void Advance(uint32_t bytes);
    // The current item is over, whatever its copy reported (skipped,
    // ignored, shorter than planned): the bar stands at its end.
    void EndItem();

    // ApplyUpdateFile's progress function; user is the ProgressWindow.
    static void OnChunk(uint32_t bytes, void* user);

private:
    // Shows the window when it is due (mayShow: work is still ahead), moves
    // the bar forward, and lets the window's pending messages run.
    void Step(bool mayShow);
    void Show();
    int Position() const;

    std::wstring caption_;
    std::wstring itemText_;
    uint64_t totalBytes_;
    uint64_t doneBytes_;
    uint64_t itemEnd_;
    DWORD startTick_;
    DWORD delayMs_;
    int shownPosition_;
    bool tried_;  // the window is made at most once
};
