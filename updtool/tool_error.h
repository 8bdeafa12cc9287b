#pragma once
// A failure that ends a command. Its message (UTF-8, one line) is what the
// publisher is told; the command turns it into exit code 2 or 1.

#include <windows.h>
#include <string>

class ToolError {
public:
    std::string message;

    explicit ToolError(const std::string& message) : message(message) {}
    virtual ~ToolError() {}
};

// "what (error N: meaning)" for a failed platform call; read code right
// after the call.
std::string SystemErrorText(const std::string& what, DWORD code);
// Throws ToolError(SystemErrorText(what, GetLastError())).
[[noreturn]] void ThrowSystemError(const std::string& what);
