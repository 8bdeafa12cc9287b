#include "tests/updtool/tool_runner.h"

#include <windows.h>
#include <thread>
#include <vector>
#include "tests/support/scratch_dir.h"
#include "tests/support/wait.h"

namespace {

// Reads a pipe to its end on a thread of its own, so a full pipe on one
// side never stalls the child while the other is read.
void Drain(HANDLE pipe, std::string* into)
{
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got)
        into->append(buffer, got);
}

// The command-line rules of the runtime's argument splitting.
std::wstring Quote(const std::wstring& arg)
{
    std::wstring quoted = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
        } else if (c == L'"') {
            quoted.append(backslashes * 2 + 1, L'\\');
            backslashes = 0;
        } else {
            quoted.append(backslashes, L'\\');
            backslashes = 0;
        }
        if (c != L'\\')
            quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    return quoted + L"\"";
}

}  // namespace

std::string ToolExe()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.rfind('\\'));
    return folder + "\\updtool.exe";
}

ToolResult RunTool(const std::vector<std::string>& args, const std::string& workingDir)
{
    ToolResult result;
    // The arguments in UTF-16, as a publisher's shell passes them on every
    // system.
    std::wstring command = Quote(Wide(ToolExe()));
    for (const std::string& arg : args)
        command += L" " + Quote(Wide(arg));

    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0))
        return result;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return result;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process = {};
    std::vector<wchar_t> line(command.begin(), command.end());
    line.push_back(L'\0');
    const BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        Wide(workingDir).c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (started) {
        // The pipes end with the process; one that does not end in time is
        // ended, which closes them too.
        std::thread outReader(Drain, outRead, &result.out);
        std::thread errReader(Drain, errRead, &result.err);
        if (WaitForSingleObject(process.hProcess, kWaitMs) == WAIT_OBJECT_0) {
            DWORD code = 0;
            GetExitCodeProcess(process.hProcess, &code);
            result.exitCode = int(code);
        } else {
            TerminateProcess(process.hProcess, 1);
        }
        outReader.join();
        errReader.join();
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return result;
}
