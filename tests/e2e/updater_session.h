#pragma once
// One scripted run of updater.exe: a list of answers, one per window in the
// order the windows appear, and a record of every window met.
//
//   SessionResult run = RunSession(exe, folder, {
//       Press(IDOK),                       // the destination dialog
//       Press(IDOK),                       // the completion box
//   });
//   run.lines  -> {"Demo Version 2.0 アップデート | field: C:\\...",
//                  "Demo Version 2.0 アップデート | アップデートが終了しました。 | 1"}

#include "tests/e2e/updater_process.h"

#include <functional>
#include <string>
#include <vector>

struct Step {
    enum class Action { Press, CloseBox, Key };
    Action action = Action::Press;
    int value = IDOK;           // command id, or virtual key for Key
    bool setField = false;      // type field into the edit box 1000 first
    std::string field;          // UTF-8
    std::function<void()> before;  // runs after the window is read, before the answer
};

Step Press(int commandId);
Step TypeAndPress(const std::string& field, int commandId);
Step CloseBox();
Step Key(UINT virtualKey);
// Runs action (e.g. fixing what made a prompt appear) before the step's answer.
Step After(std::function<void()> action, Step step);

struct SessionOptions {
    // How long each window, and the end, may take to come.
    DWORD windowTimeoutMs = kWaitMs;
    // Once the steps run out, answer further windows by default (OK, or
    // Ignore on a prompt without OK) instead of stopping there.
    bool answerTheRest = false;
    // Called for every window as it is met, before it is answered; also for
    // progress windows, which are not answered.
    std::function<void(const WindowSnapshot&)> onWindow;
    // The updater's command line after its name.
    std::wstring arguments;
};

struct SessionResult {
    std::vector<std::string> lines;  // WindowSnapshot::Line of each window met
    std::vector<WindowSnapshot> windows;
    // Progress windows met, each once, as first seen; they are not steps.
    std::vector<WindowSnapshot> progress;
    bool exited = false;
    DWORD exitCode = 0;
    // Empty when every step met its window and the process then ended in
    // time without showing anything more.
    std::string problem;
};

SessionResult RunSession(const std::string& exePath, const std::string& workingDir,
                         const std::vector<Step>& steps,
                         const SessionOptions& options = SessionOptions());

// Expected lines, in the form WindowSnapshot::Line gives (UTF-8).
std::string DialogLine(const std::string& caption, const std::string& field);
std::string BoxLine(const std::string& caption, const std::string& text);
std::string PromptLine(const std::string& text);
