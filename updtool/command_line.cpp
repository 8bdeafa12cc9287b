#include "updtool/command_line.h"

#include <cerrno>
#include <cstdlib>
#include "base/multibyte.h"
#include "updtool/tool_output.h"

CommandLine::CommandLine() {}

CommandLine::~CommandLine() {}

bool CommandLine::Parse(const char* command, const std::vector<std::string>& args,
                        const std::vector<OptionSpec>& specs)
{
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = nullptr;
        for (const OptionSpec& candidate : specs)
            if (name == candidate.name)
                spec = &candidate;
        if (!spec) {
            UsageError(command, "unknown option '" + Utf8FromAnsi(name) + "'");
            return false;
        }
        if (!spec->takesValue) {
            if (equals != std::string::npos) {
                UsageError(command, "option '" + name + "' takes no value");
                return false;
            }
            options_.emplace_back(name, std::string());
            continue;
        }
        if (equals != std::string::npos) {
            options_.emplace_back(name, arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            options_.emplace_back(name, args[++i]);
        } else {
            UsageError(command, "option '" + name + "' needs a value");
            return false;
        }
    }
    return true;
}

bool CommandLine::Has(const char* option) const
{
    for (const auto& given : options_)
        if (given.first == option)
            return true;
    return false;
}

const std::string* CommandLine::Value(const char* option) const
{
    const std::string* last = nullptr;
    for (const auto& given : options_)
        if (given.first == option)
            last = &given.second;
    return last;
}

std::vector<std::string> CommandLine::Values(const char* option) const
{
    std::vector<std::string> values;
    for (const auto& given : options_)
        if (given.first == option)
            values.push_back(given.second);
    return values;
}

int UsageError(const char* command, const std::string& message)
{
    WriteErr(std::string("updtool ") + command + ": " + message + " (see 'updtool " + command +
             " --help')\n");
    return ExitTrouble;
}

int Fail(const char* command, const std::string& message, int code)
{
    WriteErr(std::string("updtool ") + command + ": " + message + "\n");
    return code;
}

std::string PathArgument(const std::string& text)
{
    std::string path = text;
    for (const char* p = path.c_str(); *p; p = NextChar(p))
        if (*p == '/')
            path[size_t(p - path.c_str())] = '\\';
    return path;
}

bool ParseNumber(const std::string& text, long long low, long long high, long long& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long parsed = strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}
