#pragma once
// The tool never shows a window. Where the updater would prompt or show a
// notice, the tool reports what it would show instead: opens are quiet, and
// this guard stops any window the shared code might still try to create
// (a message box then reads as Ignore), remembering its caption.

#include <windows.h>
#include <string>
#include <vector>

class NoWindows {
public:
    // Captions (UTF-8) of the windows that were stopped, in order.
    std::vector<std::string> stopped;

    NoWindows();
    NoWindows(const NoWindows&) = delete;
    NoWindows& operator=(const NoWindows&) = delete;
    virtual ~NoWindows();

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam);
    HHOOK hook_;
};

// Sets quietOpen for the life of the object and again after every call
// that clears it (the archive revision text does), so that a read open
// that finds nothing returns false instead of prompting.
class QuietOpens {
public:
    QuietOpens();
    QuietOpens(const QuietOpens&) = delete;
    QuietOpens& operator=(const QuietOpens&) = delete;
    virtual ~QuietOpens();

    // Call after anything that may have cleared quietOpen.
    static void Restore();

private:
    int previous_;
};
