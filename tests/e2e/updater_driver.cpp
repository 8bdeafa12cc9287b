// Runs updater.exe once and prints every window it shows, as UTF-8:
//
//   updater_driver [--hold DIR] [--args TEXT] UPDATER_EXE UPDATE_FOLDER [ANSWER...]
//
// TEXT: the updater's command line after its name (ASCII).
// ANSWER, one per window in order: ok, cancel, abort, retry, ignore, browse,
// close (the close box), escape, or type=TEXT (typed into the destination
// field; the next answer then presses a button of the same window). Windows
// beyond the answers get OK (Ignore on a prompt). With --hold, the driver
// writes DIR\window-N.txt (the window's screen rectangle) for each window and
// waits for DIR\go-N before answering, so a script can take a picture.
// Exit code 0 when the updater ended by itself with exit code 0.

#include "tests/e2e/updater_session.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Print(const std::string& text)
{
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), DWORD(text.size()), &written,
              nullptr);
}

bool ParseAnswer(const std::string& word, Step& step)
{
    const struct {
        const char* word;
        int id;
    } buttons[] = {{"ok", IDOK},         {"cancel", IDCANCEL}, {"abort", IDABORT},
                   {"retry", IDRETRY},   {"ignore", IDIGNORE}, {"browse", 1001}};
    for (const auto& button : buttons)
        if (word == button.word) {
            step.action = Step::Action::Press;
            step.value = button.id;
            return true;
        }
    if (word == "close") {
        step.action = Step::Action::CloseBox;
        return true;
    }
    if (word == "escape") {
        step.action = Step::Action::Key;
        step.value = VK_ESCAPE;
        return true;
    }
    return false;
}

void Hold(const std::string& dir, int number, const WindowSnapshot& window)
{
    RECT rect = {};
    GetWindowRect(window.handle, &rect);
    const std::string base = dir + "\\window-" + std::to_string(number);
    const std::string info = std::to_string(rect.left) + " " + std::to_string(rect.top) + " " +
                             std::to_string(rect.right - rect.left) + " " +
                             std::to_string(rect.bottom - rect.top) + "\n";
    HANDLE file = CreateFileA((base + ".txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, info.data(), DWORD(info.size()), &written, nullptr);
        CloseHandle(file);
    }
    const std::string go = dir + "\\go-" + std::to_string(number);
    WaitUntil([&go] { return GetFileAttributesA(go.c_str()) != INVALID_FILE_ATTRIBUTES; });
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string holdDir, arguments;
    while (args.size() >= 2 && (args[0] == "--hold" || args[0] == "--args")) {
        (args[0] == "--hold" ? holdDir : arguments) = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (args.size() < 2) {
        Print("usage: updater_driver [--hold DIR] [--args TEXT] UPDATER_EXE UPDATE_FOLDER [ANSWER...]\n");
        return 2;
    }
    std::vector<Step> steps;
    Step pending;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i].compare(0, 5, "type=") == 0) {
            pending.setField = true;
            pending.field = args[i].substr(5);
            continue;
        }
        if (!ParseAnswer(args[i], pending)) {
            Print("unknown answer: " + args[i] + "\n");
            return 2;
        }
        steps.push_back(pending);
        pending = Step();
    }

    int number = 0;
    SessionOptions options;
    options.answerTheRest = true;
    options.arguments.assign(arguments.begin(), arguments.end());
    options.onWindow = [&](const WindowSnapshot& window) {
        ++number;
        Print("--- window " + std::to_string(number) + " ---\n" + window.Describe());
        if (!holdDir.empty())
            Hold(holdDir, number, window);
    };
    const SessionResult run = RunSession(args[0], args[1], steps, options);
    if (!run.exited) {
        Print("updater did not end: " + run.problem + "\n");
        return 1;
    }
    Print("--- updater ended, exit code " + std::to_string(run.exitCode) + " ---\n");
    if (!run.problem.empty())
        Print(run.problem + "\n");
    return run.problem.empty() && run.exitCode == 0 ? 0 : 1;
}
