#pragma once
// Runs the built updtool.exe the way a publisher's script does and collects
// what it printed.

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string out;  // standard output, as written (UTF-8)
    std::string err;  // standard error
};

// updtool.exe beside the running test program.
std::string ToolExe();

// Runs updtool with args (code page 932 texts, passed on in UTF-16) in
// workingDir; waits at most kWaitMs (tests/support/wait.h). exitCode -1 when
// it could not be started or did not end.
ToolResult RunTool(const std::vector<std::string>& args, const std::string& workingDir);
