#include "tests/e2e/updater_session.h"

Step Press(int commandId)
{
    Step step;
    step.value = commandId;
    return step;
}

Step TypeAndPress(const std::string& field, int commandId)
{
    Step step = Press(commandId);
    step.setField = true;
    step.field = field;
    return step;
}

Step CloseBox()
{
    Step step;
    step.action = Step::Action::CloseBox;
    return step;
}

Step Key(UINT virtualKey)
{
    Step step;
    step.action = Step::Action::Key;
    step.value = int(virtualKey);
    return step;
}

Step After(std::function<void()> action, Step step)
{
    step.before = std::move(action);
    return step;
}

namespace {

void Answer(UpdaterProcess& process, const WindowSnapshot& window, const Step& step)
{
    if (step.before)
        step.before();
    if (step.setField)
        process.SetText(window, 1000, step.field);
    switch (step.action) {
    case Step::Action::Press:
        process.Press(window, step.value);
        break;
    case Step::Action::CloseBox:
        process.CloseBox(window);
        break;
    case Step::Action::Key:
        process.Key(window, UINT(step.value));
        break;
    }
}

Step DefaultAnswer(const WindowSnapshot& window)
{
    if (window.Has(IDOK))
        return Press(IDOK);
    if (window.Has(IDIGNORE))
        return Press(IDIGNORE);
    return Press(IDCANCEL);
}

void Record(SessionResult& result, const WindowSnapshot& window, const SessionOptions& options)
{
    result.lines.push_back(window.Line());
    result.windows.push_back(window);
    if (options.onWindow)
        options.onWindow(window);
}

}  // namespace

SessionResult RunSession(const std::string& exePath, const std::string& workingDir,
                         const std::vector<Step>& steps, const SessionOptions& options)
{
    SessionResult result;
    UpdaterProcess process(exePath, workingDir, options.arguments);
    process.onProgress = [&result, &options](const WindowSnapshot& window) {
        result.progress.push_back(window);
        if (options.onWindow)
            options.onWindow(window);
    };
    if (!process.Started()) {
        result.problem = process.StartError();
        return result;
    }
    for (size_t i = 0; i < steps.size(); ++i) {
        WindowSnapshot window;
        if (!process.NextWindow(window, options.windowTimeoutMs)) {
            result.problem = "no window for step " + std::to_string(i + 1) + " of " +
                             std::to_string(steps.size());
            break;
        }
        Record(result, window, options);
        Answer(process, window, steps[i]);
    }
    if (!result.problem.empty()) {
        // No wait: whether it had already ended. The process is ended on
        // the way out, and waited for, so nothing still runs when the
        // caller reads what it left.
        result.exited = process.WaitExit(result.exitCode, nullptr, 0);
        return result;
    }
    for (;;) {
        WindowSnapshot unexpected;
        if (process.WaitExit(result.exitCode, &unexpected, options.windowTimeoutMs)) {
            result.exited = true;
            break;
        }
        if (!unexpected.handle) {
            result.problem = "the process did not end in time";
            break;
        }
        Record(result, unexpected, options);
        if (!options.answerTheRest) {
            result.problem = "a window more than the steps expected";
            break;
        }
        Answer(process, unexpected, DefaultAnswer(unexpected));
    }
    return result;
}

std::string DialogLine(const std::string& caption, const std::string& field)
{
    return caption + " | field: " + field;
}

std::string BoxLine(const std::string& caption, const std::string& text)
{
    return caption + " | " + text + " | 1";
}

std::string PromptLine(const std::string& text)
{
    return std::string(u8"ファイルエラー | ") + text + " | 3 4 5";
}
