#pragma once
// What a failed open does is the program's choice, set once by the run as a
// process-wide value (as quietOpen is): the updater asks the user, the
// publisher's tool and the tests of the quiet default fail without asking.
// The file layer reads the value where an open fails; nothing calls back
// up into the program.

#include <string>

class OpenFailurePrompt {
public:
    // Ask the user: "ファイル %s が開けません。" (caption "ファイルエラー",
    // Abort/Retry/Ignore, topmost, no owner), the path shown exactly.
    bool asks = false;
    // Ignore ends the run as Abort does (an all-or-nothing update may leave
    // no item out).
    bool ignoreAborts = false;

    virtual ~OpenFailurePrompt() {}
};

// Process-wide; by default a failed open fails without asking.
extern OpenFailurePrompt openFailurePrompt;

// Sets openFailurePrompt.ignoreAborts for its life and puts back the value it
// found, however the scope is left.
class IgnoreAborts {
public:
    IgnoreAborts() : previous_(openFailurePrompt.ignoreAborts) { openFailurePrompt.ignoreAborts = true; }
    IgnoreAborts(const IgnoreAborts&) = delete;
    IgnoreAborts& operator=(const IgnoreAborts&) = delete;
    virtual ~IgnoreAborts() { openFailurePrompt.ignoreAborts = previous_; }

private:
    bool previous_;
};

// Called with the path that could not be opened, the system's error still
// set. True: try again (Retry). False: give up (Ignore, or no prompt).
// Abort (and Ignore when it aborts) raises OCErrorException
// "ファイル %s が開けませんでした。" whose code is the last error as it was
// before the box.
bool HandleOpenFailure(const std::wstring& path);
