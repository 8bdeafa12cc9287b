#pragma once
// Drives a running updater.exe from another process: finds its top-level
// windows, reads their texts, types into them and presses their buttons,
// the way a user would. Every wait polls up to a bound (kWaitMs unless told
// otherwise), so a program that hangs or shows an unexpected window fails a
// test instead of blocking it, and a busy machine only slows it down.

#include <windows.h>
#include <functional>
#include <set>
#include <string>
#include <vector>
#include "tests/support/wait.h"

struct ControlInfo {
    int id = 0;
    std::string className;
    std::string text;  // UTF-8, read in UTF-16 as the user sees it
    bool visible = false;
};

// What a window showed at the moment it was read.
struct WindowSnapshot {
    HWND handle = nullptr;
    std::string className;
    std::string caption;  // UTF-8, read in UTF-16
    std::vector<ControlInfo> controls;

    bool Has(int id) const;
    // Text of the first control with the id; "" when there is none.
    std::string Text(int id) const;
    // Ids of the visible push buttons, in child order: "1 2 1001".
    std::string ButtonIds() const;
    // A message box: a static with id 0xFFFF and no edit box.
    bool IsMessageBox() const;
    // The window that follows a long update: it holds a progress bar.
    bool IsProgress() const;
    // One line, UTF-8: "caption | message | buttons" for a message box,
    // "caption | field: <edit 1000>" for the destination dialog, the caption
    // alone otherwise.
    std::string Line() const;
    // Every control, one per line, UTF-8; for people reading a session.
    std::string Describe() const;
};

// Code page 932 bytes as UTF-8; bytes that do not convert come out as "?".
std::string Utf8FromCp932(const std::string& text);

class UpdaterProcess {
public:
    // Starts exePath with workingDir as its current directory (both code
    // page 932), arguments after its quoted name.
    UpdaterProcess(const std::string& exePath, const std::string& workingDir,
                   const std::wstring& arguments = std::wstring());
    UpdaterProcess(const UpdaterProcess&) = delete;
    UpdaterProcess& operator=(const UpdaterProcess&) = delete;
    // Ends a child that is still running, so no test leaves one behind.
    virtual ~UpdaterProcess();

    bool Started() const { return process_ != nullptr; }
    bool Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }
    const std::string& StartError() const { return startError_; }

    // Called once for every progress window the waits below come across,
    // with what it showed then. Such a window asks nothing: it is never
    // returned as the next window nor taken as unexpected.
    std::function<void(const WindowSnapshot&)> onProgress;

    // Waits for the process's active window: a visible, enabled top-level
    // window. Press and the other actions wait until the window they acted
    // on stops being active, so this is the next window (or the same dialog
    // again once its folder browser has closed). False on timeout or when
    // the process ends first.
    bool NextWindow(WindowSnapshot& window, DWORD timeoutMs = kWaitMs);

    // Sets a control's text (WM_SETTEXT, delivered across processes).
    bool SetText(const WindowSnapshot& window, int controlId, const std::string& text);
    // Presses a button (WM_COMMAND), then waits until the window is no
    // longer the active one.
    void Press(const WindowSnapshot& window, int commandId);
    // The close box: WM_SYSCOMMAND SC_CLOSE.
    void CloseBox(const WindowSnapshot& window);
    // A key pressed while the window has the focus (goes through the
    // dialog's keyboard handling, like a real key).
    void Key(const WindowSnapshot& window, UINT virtualKey);

    // Waits for the end. True with the exit code when the process ended in
    // time. A window that shows up meanwhile ends the wait at once: it is
    // stored in unexpected and false is returned.
    bool WaitExit(DWORD& exitCode, WindowSnapshot* unexpected = nullptr, DWORD timeoutMs = kWaitMs);

    // Ends the process at once, as a crash or the task manager would, and
    // waits until it is gone, so that what it left can be read. True when it
    // was still running.
    bool Kill();

private:
    HWND FindActiveWindow();
    void WaitUntilGone(HWND window);

    HANDLE process_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD processId_ = 0;
    std::string startError_;
    std::set<HWND> progressSeen_;
};

// Reads a window's class, caption and children.
WindowSnapshot ReadWindow(HWND window);
