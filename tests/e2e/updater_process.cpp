#include "tests/e2e/updater_process.h"

#include <algorithm>
#include "base/text_932.h"

namespace {

const DWORD kPollMs = 10;
// A message to another process's window waits for its thread to take it:
// on a busy machine, or while the updater copies between its message
// pumps, that may take a while. A thread that takes none is given up at
// once (SMTO_ABORTIFHUNG).
const DWORD kMessageTimeoutMs = kWaitMs;

std::string Utf8FromWide(const std::wstring& wide)
{
    if (wide.empty())
        return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), &utf8[0], length, nullptr,
                            nullptr);
    return utf8;
}

std::wstring WideFromUtf8(const std::string& utf8)
{
    if (utf8.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &wide[0], length);
    return wide;
}

// What the user sees, read in UTF-16 (the -A form would pass it through this
// system's code page) and kept as UTF-8. WM_GETTEXT is marshalled across
// processes, unlike GetWindowText, which does not ask another process's edit
// box for its current text.
std::string ReadText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                             kMessageTimeoutMs, &length))
        return std::string();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied))
        return std::string();
    text.resize(std::min<size_t>(copied, length));
    return Utf8FromWide(text);
}

std::string ClassOf(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

BOOL CALLBACK CollectChild(HWND child, LPARAM context)
{
    auto* controls = reinterpret_cast<std::vector<ControlInfo>*>(context);
    ControlInfo control;
    control.id = GetDlgCtrlID(child) & 0xFFFF;
    control.className = ClassOf(child);
    control.text = ReadText(child);
    control.visible = IsWindowVisible(child) != FALSE;
    controls->push_back(control);
    return TRUE;
}

struct ActiveSearch {
    DWORD processId;
    std::vector<HWND> found;  // in z-order, topmost first
};

BOOL CALLBACK FindActive(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<ActiveSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window) && IsWindowEnabled(window))
        search->found.push_back(window);
    return TRUE;
}

bool HoldsProgressBar(HWND window)
{
    return FindWindowExA(window, nullptr, "msctls_progress32", nullptr) != nullptr;
}

bool IsPushButton(const ControlInfo& control)
{
    return lstrcmpiA(control.className.c_str(), "Button") == 0 && control.visible &&
           control.id != 0xFFFF;
}

}  // namespace

bool WindowSnapshot::Has(int id) const
{
    return std::any_of(controls.begin(), controls.end(),
                       [id](const ControlInfo& control) { return control.id == id; });
}

std::string WindowSnapshot::Text(int id) const
{
    for (const auto& control : controls)
        if (control.id == id)
            return control.text;
    return std::string();
}

std::string WindowSnapshot::ButtonIds() const
{
    std::string ids;
    for (const auto& control : controls)
        if (IsPushButton(control))
            ids += (ids.empty() ? "" : " ") + std::to_string(control.id);
    return ids;
}

bool WindowSnapshot::IsMessageBox() const
{
    bool hasMessage = false;
    for (const auto& control : controls) {
        if (lstrcmpiA(control.className.c_str(), "Edit") == 0)
            return false;
        if (control.id == 0xFFFF && lstrcmpiA(control.className.c_str(), "Static") == 0)
            hasMessage = true;
    }
    return hasMessage;
}

bool WindowSnapshot::IsProgress() const
{
    return std::any_of(controls.begin(), controls.end(), [](const ControlInfo& control) {
        return lstrcmpiA(control.className.c_str(), "msctls_progress32") == 0;
    });
}

std::string WindowSnapshot::Line() const
{
    if (Has(1000) && !IsMessageBox())
        return caption + " | field: " + Text(1000);
    if (IsMessageBox())
        return caption + " | " + Text(0xFFFF) + " | " + ButtonIds();
    return caption;
}

std::string WindowSnapshot::Describe() const
{
    std::string text = "window " + className + " \"" + caption + "\"\n";
    for (const auto& control : controls) {
        if (!control.visible)
            continue;
        text += "  " + control.className + " " + std::to_string(control.id) + ": \"" +
                control.text + "\"\n";
    }
    return text;
}

std::string Utf8FromCp932(const std::string& text)
{
    if (text.empty())
        return text;
    const int wideLength = MultiByteToWideChar(932, 0, text.data(), int(text.size()), nullptr, 0);
    if (wideLength <= 0)
        return std::string(text.size(), '?');
    std::wstring wide(size_t(wideLength), L'\0');
    MultiByteToWideChar(932, 0, text.data(), int(text.size()), &wide[0], wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(size_t(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, &utf8[0], length, nullptr, nullptr);
    return utf8;
}

WindowSnapshot ReadWindow(HWND window)
{
    WindowSnapshot snapshot;
    snapshot.handle = window;
    snapshot.className = ClassOf(window);
    snapshot.caption = ReadText(window);
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&snapshot.controls));
    return snapshot;
}

UpdaterProcess::UpdaterProcess(const std::string& exePath, const std::string& workingDir,
                               const std::wstring& arguments)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    const std::wstring exe = WideFrom932(exePath.c_str());
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        WideFrom932(workingDir.c_str()).c_str(), &startup, &info)) {
        startError_ = "cannot start " + exePath + " in " + workingDir + " (error " +
                      std::to_string(GetLastError()) + ")";
        return;
    }
    process_ = info.hProcess;
    thread_ = info.hThread;
    processId_ = info.dwProcessId;
}

bool UpdaterProcess::Kill()
{
    if (!process_ || WaitForSingleObject(process_, 0) != WAIT_TIMEOUT)
        return false;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, kWaitMs);
    return true;
}

UpdaterProcess::~UpdaterProcess()
{
    if (process_) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, kWaitMs);
        }
        CloseHandle(process_);
    }
    if (thread_)
        CloseHandle(thread_);
}

HWND UpdaterProcess::FindActiveWindow()
{
    ActiveSearch search = {processId_, {}};
    EnumWindows(FindActive, reinterpret_cast<LPARAM>(&search));
    HWND active = nullptr;
    for (HWND window : search.found) {
        // Reported whatever lies above it: a prompt may cover it for its life.
        if (HoldsProgressBar(window)) {
            if (progressSeen_.insert(window).second && onProgress)
                onProgress(ReadWindow(window));
        } else if (!active) {
            active = window;
        }
    }
    return active;
}

bool UpdaterProcess::NextWindow(WindowSnapshot& window, DWORD timeoutMs)
{
    if (!process_)
        return false;
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND found = FindActiveWindow()) {
            window = ReadWindow(found);
            return true;
        }
        if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0)
            return false;
        if (GetTickCount() - start > timeoutMs)
            return false;
    }
}

bool UpdaterProcess::SetText(const WindowSnapshot& window, int controlId, const std::string& text)
{
    HWND control = GetDlgItem(window.handle, controlId);
    DWORD_PTR result = 0;
    const std::wstring wide = WideFromUtf8(text);
    return control && SendMessageTimeoutW(control, WM_SETTEXT, 0,
                                          reinterpret_cast<LPARAM>(wide.c_str()),
                                          SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result);
}

void UpdaterProcess::WaitUntilGone(HWND window)
{
    const DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window) && IsWindowEnabled(window) &&
           GetTickCount() - start <= kWaitMs) {
        if (process_ && WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0)
            return;
    }
}

void UpdaterProcess::Press(const WindowSnapshot& window, int commandId)
{
    HWND button = GetDlgItem(window.handle, commandId);
    PostMessageA(window.handle, WM_COMMAND, MAKEWPARAM(commandId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    WaitUntilGone(window.handle);
}

void UpdaterProcess::CloseBox(const WindowSnapshot& window)
{
    PostMessageA(window.handle, WM_SYSCOMMAND, SC_CLOSE, 0);
    WaitUntilGone(window.handle);
}

void UpdaterProcess::Key(const WindowSnapshot& window, UINT virtualKey)
{
    // The dialog's modal loop routes keys through IsDialogMessage when they
    // are addressed to the dialog or one of its children.
    HWND target = window.handle;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    const DWORD thread = GetWindowThreadProcessId(window.handle, nullptr);
    if (GetGUIThreadInfo(thread, &info) && info.hwndFocus &&
        (info.hwndFocus == window.handle || IsChild(window.handle, info.hwndFocus)))
        target = info.hwndFocus;
    const LPARAM scan = LPARAM(MapVirtualKeyA(virtualKey, 0)) << 16;
    PostMessageA(target, WM_KEYDOWN, virtualKey, scan | 1);
    PostMessageA(target, WM_KEYUP, virtualKey, scan | 1 | (LPARAM(3) << 30));
    WaitUntilGone(window.handle);
}

bool UpdaterProcess::WaitExit(DWORD& exitCode, WindowSnapshot* unexpected, DWORD timeoutMs)
{
    if (!process_)
        return false;
    const DWORD start = GetTickCount();
    for (;;) {
        if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) {
            GetExitCodeProcess(process_, &exitCode);
            return true;
        }
        if (HWND found = FindActiveWindow()) {
            if (unexpected)
                *unexpected = ReadWindow(found);
            return false;
        }
        if (GetTickCount() - start > timeoutMs)
            return false;
    }
}
