#pragma once
// A failure that ends a command. Its message (UTF-8, one line) is what the
// publisher is told; the command turns it into exit code 2 or 1.

#include <windows.h>
#include <string>
#include "paths/error_words.h"

class ToolError {
public:
    std::string message;

    explicit ToolError(const std::string& message) : message(message) {}
    virtual ~ToolError() {}
};

// Throws ToolError(SystemErrorText(what, GetLastError(), path)).
[[noreturn]] void ThrowSystemError(const std::string& what, const std::wstring& path = L"");
