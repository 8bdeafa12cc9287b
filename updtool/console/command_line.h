#pragma once
// A command's arguments, and how it ends: the exit codes every command keeps
// to (as diff and grep do), and the failures that end it. Arguments arrive in
// UTF-16, whatever the system's code page.

#include <string>
#include <vector>
#include "paths/error_words.h"

enum ExitCode {
    ExitOk = 0,        // done, nothing wrong
    ExitProblems = 1,  // problems found: a check failed, an archive is damaged
    ExitTrouble = 2,   // bad usage, or an input that cannot be read
};

typedef std::vector<std::wstring> Arguments;

// An option a command takes: a flag ("--json") or one with a value
// ("--format 2", "--format=2", "-C DIR"); valued options may repeat.
class OptionSpec {
public:
    const char* name;
    bool takesValue;

    OptionSpec(const char* name, bool takesValue) : name(name), takesValue(takesValue) {}
    virtual ~OptionSpec() {}
};

typedef std::vector<OptionSpec> OptionSpecs;

class CommandLine {
public:
    std::vector<std::wstring> positional;
    bool json = false;  // --json given, where the command takes it

    virtual ~CommandLine() {}

    // Splits args by specs; "--" ends the options. The first unknown option
    // or missing value is printed as a usage error for command once every
    // argument is read (so --json still asks for one document), and false is
    // returned.
    bool Parse(const char* command, const Arguments& args, const OptionSpecs& specs);

    bool Has(const char* option) const;
    // The last value given for option, or null.
    const std::wstring* Value(const char* option) const;
    // Every value given for option, in order.
    std::vector<std::wstring> Values(const char* option) const;

private:
    std::vector<std::pair<std::string, std::wstring>> options_;
};

// A failure that ends a command. Its message (UTF-8, one line) is what the
// publisher is told; the command turns it into exit code 2 or 1.
class ToolError {
public:
    std::string message;

    explicit ToolError(const std::string& message) : message(message) {}
    virtual ~ToolError() {}
};

// Throws ToolError(SystemErrorText(what, GetLastError(), path)).
[[noreturn]] void ThrowSystemError(const std::string& what, const std::wstring& path = L"");

// Prints "updtool COMMAND: MESSAGE" and where to find help on standard
// error; returns ExitTrouble.
int UsageError(const char* command, const std::string& message);
// Prints "updtool COMMAND: MESSAGE" on standard error; returns code.
int Fail(const char* command, const std::string& message, int code = ExitTrouble);
// A path argument in the system's form: slashes become backslashes (both
// separate folders on Windows; the product's path code splits on
// backslashes only).
std::wstring PathArgument(const std::wstring& text);
// "'path'" in UTF-8, as messages name a file.
std::string Shown(const std::wstring& path);
// A whole decimal number in [low, high]; false otherwise.
bool ParseNumber(const std::wstring& text, long long low, long long high, long long& value);
