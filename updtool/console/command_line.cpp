#include "updtool/console/command_line.h"

#include <algorithm>
#include <cerrno>
#include <cwchar>
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"

bool CommandLine::Parse(const char* command, const Arguments& args, const OptionSpecs& specs)
{
    bool optionsEnded = false;
    std::string firstFault;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::wstring& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != L'-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == L"--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.find(L'=');
        const bool inlineValue = equals != std::wstring::npos;
        const std::string name = Utf8(arg.substr(0, equals));
        const auto spec = std::find_if(specs.begin(), specs.end(),
                                       [&](const OptionSpec& known) { return name == known.name; });
        std::string fault;
        if (spec == specs.end())
            fault = "unknown option \"" + name + "\"";
        else if (!spec->takesValue && inlineValue)
            fault = "option \"" + name + "\" takes no value";
        else if (spec->takesValue && !inlineValue && i + 1 == args.size())
            fault = "option \"" + name + "\" needs a value";
        if (!fault.empty()) {
            if (firstFault.empty())
                firstFault = fault;
            continue;
        }
        json = json || name == "--json";
        options_.emplace_back(name, !spec->takesValue ? std::wstring()
                                    : inlineValue     ? arg.substr(equals + 1)
                                                      : args[++i]);
    }
    if (!firstFault.empty())
        UsageError(command, firstFault);
    return firstFault.empty();
}

bool CommandLine::Has(const char* option) const
{
    return Value(option) != nullptr;
}

const std::wstring* CommandLine::Value(const char* option) const
{
    const std::wstring* last = nullptr;
    for (const auto& given : options_)
        if (given.first == option)
            last = &given.second;
    return last;
}

std::vector<std::wstring> CommandLine::Values(const char* option) const
{
    std::vector<std::wstring> values;
    for (const auto& given : options_)
        if (given.first == option)
            values.push_back(given.second);
    return values;
}

void ThrowSystemError(const std::string& what, const std::wstring& path)
{
    throw ToolError(SystemErrorText(what, GetLastError(), path));
}

int UsageError(const char* command, const std::string& message)
{
    WriteErr(std::string("updtool ") + command + ": " + message + " (see \"updtool " + command +
             " --help\")\n");
    return ExitTrouble;
}

int Fail(const char* command, const std::string& message, int code)
{
    WriteErr(std::string("updtool ") + command + ": " + message + "\n");
    return code;
}

std::wstring PathArgument(const std::wstring& text)
{
    std::wstring path = text;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::string Shown(const std::wstring& path)
{
    return "\"" + Utf8(path) + "\"";
}

bool ParseNumber(const std::wstring& text, long long low, long long high, long long& value)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long parsed = std::wcstoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != L'\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}
