#pragma once
// Answers the real message boxes (and dialogs) of the current thread through
// a thread-local CBT hook, so prompts are tested against the real MessageBoxA.

#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Calls onWindow once for every top-level dialog-class window (#32770) that
// is activated on this thread while the object lives.
class DialogWatcher {
public:
    explicit DialogWatcher(std::function<void(HWND)> onWindow);
    DialogWatcher(const DialogWatcher&) = delete;
    DialogWatcher& operator=(const DialogWatcher&) = delete;
    virtual ~DialogWatcher();

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    std::function<void(HWND)> onWindow_;
    HHOOK hook_;
    DialogWatcher* outer_;
};

// Records each message box's caption and text and presses the next answer
// (IDABORT, IDRETRY, IDIGNORE, IDOK ...); once the answers run out, IDOK.
class MessageBoxAnswerer {
public:
    struct Box {
        std::string caption;
        std::string text;
    };

    explicit MessageBoxAnswerer(std::vector<int> answers = {});
    virtual ~MessageBoxAnswerer();

    std::vector<Box> boxes;

private:
    std::vector<int> answers_;
    size_t next_;
    DialogWatcher watcher_;
};

// Text of a window or of a dialog's control, read in UTF-16, in code page 932.
std::string WindowText(HWND window);
std::string ControlText(HWND dialog, int controlId);
