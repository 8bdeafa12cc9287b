#include "updtool/console/command_line.h"

#include <cerrno>
#include <cwchar>
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_output.h"

CommandLine::CommandLine() {}

CommandLine::~CommandLine() {}

bool CommandLine::Parse(const char* command, const Arguments& args,
                        const std::vector<OptionSpec>& specs)
{
    bool optionsEnded = false;
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
        const std::string name = Utf8(arg.substr(0, equals));
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : specs)
            if (name == candidate.name)
                spec = &candidate;
        if (!spec) {
            UsageError(command, "unknown option \"" + name + "\"");
            return false;
        }
        if (!spec->takesValue) {
            if (equals != std::wstring::npos) {
                UsageError(command, "option \"" + name + "\" takes no value");
                return false;
            }
            options_.emplace_back(name, std::wstring());
            continue;
        }
        if (equals != std::wstring::npos) {
            options_.emplace_back(name, arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            options_.emplace_back(name, args[++i]);
        } else {
            UsageError(command, "option \"" + name + "\" needs a value");
            return false;
        }
    }
    return true;
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
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
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
