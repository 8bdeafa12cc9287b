#include "app/record_start.h"

#include <windows.h>
#include <vector>
#include "system/run_log.h"
#include "paths/wide_paths.h"
#include "build_commit.h"
#include "project_version.h"

namespace {

typedef LONG(WINAPI* RtlGetVersionFunction)(OSVERSIONINFOW*);

// The version the system is, not the one it tells a program without a
// manifest naming it (GetVersionEx would).
std::string WindowsVersion()
{
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    // ntdll is in every process already: nothing is loaded by name here.
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto rtlGetVersion = ntdll ? reinterpret_cast<RtlGetVersionFunction>(
                                           reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                                     : nullptr;
    if (!rtlGetVersion || rtlGetVersion(&info) != 0)
        return "unknown";
    std::string text = std::to_string(info.dwMajorVersion) + "." +
                       std::to_string(info.dwMinorVersion) + " build " +
                       std::to_string(info.dwBuildNumber);
    if (info.szCSDVersion[0])
        text += " (" + LogText(info.szCSDVersion) + ")";
    return text;
}

std::wstring CurrentFolder()
{
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> folder(size + 1);
    const DWORD got = GetCurrentDirectoryW(DWORD(folder.size()), folder.data());
    return got == 0 || got >= folder.size() ? std::wstring() : std::wstring(folder.data(), got);
}

std::wstring ProgramPath()
{
    std::vector<wchar_t> path(32768);
    const DWORD got = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
    return std::wstring(path.data(), got < path.size() ? got : 0);
}

void NoteTheStart(const RunArguments& arguments)
{
    LogEvent(std::string("updater ") + PROJECT_VERSION_TEXT + " (commit " BUILD_COMMIT_TEXT ") started: " +
             LogText(ProgramPath()) + ", process " + std::to_string(GetCurrentProcessId()));
    LogEvent("Windows " + WindowsVersion() + ", ANSI code page " + std::to_string(GetACP()) +
             ", OEM code page " + std::to_string(GetOEMCP()));
    LogEvent("update folder (the current folder): " + LogText(CurrentFolder()));
    LogEvent("command line: " + LogText(GetCommandLineW()));
    for (const std::wstring& ignored : arguments.ignored)
        LogEvent("argument ignored: \"" + LogText(ignored) + "\"");
    LogEvent("this record: " + LogText(RunLogPath()));
}

}  // namespace

std::wstring RequestedLogPath(const RunArguments& arguments)
{
    const std::wstring full = FullPathOf(arguments.logPath);
    return full.empty() ? arguments.logPath : full;
}

bool StartRunRecord(const RunArguments& arguments)
{
    if (!arguments.Records())
        return true;
    if (!arguments.logPath.empty()) {
        const std::wstring path = RequestedLogPath(arguments);
        if (path.empty()) {
            SetLastError(ERROR_INVALID_NAME);
            return false;
        }
        if (!StartRunLog(path))
            return false;
    } else {
        const std::wstring temporary = RunLogFolder();
        if (temporary.empty() || !StartRunLogIn(temporary))
            return true;
    }
    NoteTheStart(arguments);
    return true;
}
