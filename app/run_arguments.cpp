#include "app/run_arguments.h"

#include <windows.h>

namespace {

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t';
}

// The program's name: up to the closing quote when it begins with one, else
// up to the first blank; no escapes.
const wchar_t* SkipProgramName(const wchar_t* at)
{
    if (*at == L'"') {
        ++at;
        while (*at && *at != L'"')
            ++at;
        if (*at)
            ++at;
    } else {
        while (*at && !IsBlank(*at))
            ++at;
    }
    return at;
}

// One argument from at; at is left after it.
std::wstring NextArgument(const wchar_t*& at)
{
    std::wstring argument;
    bool quoted = false;
    while (*at && (quoted || !IsBlank(*at))) {
        size_t backslashes = 0;
        while (*at == L'\\') {
            ++backslashes;
            ++at;
        }
        if (*at == L'"') {
            argument.append(backslashes / 2, L'\\');
            if (backslashes % 2) {
                argument += L'"';
            } else if (quoted && at[1] == L'"') {
                argument += L'"';  // "" inside quotes: a quote
                ++at;
            } else {
                quoted = !quoted;
            }
            ++at;
        } else {
            argument.append(backslashes, L'\\');
            if (*at && (quoted || !IsBlank(*at)))
                argument += *at++;
        }
    }
    return argument;
}

}  // namespace

RunArguments::RunArguments() : logGiven(false) {}

RunArguments::~RunArguments() {}

RunArguments ParseRunArguments(const wchar_t* commandLine)
{
    RunArguments arguments;
    const wchar_t* at = SkipProgramName(commandLine ? commandLine : L"");
    static const wchar_t kLog[] = L"/log=";
    const int prefix = int(wcslen(kLog));
    for (;;) {
        while (IsBlank(*at))
            ++at;
        if (!*at)
            break;
        const std::wstring argument = NextArgument(at);
        if (int(argument.size()) >= prefix &&
            CompareStringOrdinal(argument.c_str(), prefix, kLog, prefix, TRUE) == CSTR_EQUAL) {
            arguments.logGiven = true;
            arguments.logPath = argument.substr(prefix);
        } else {
            arguments.ignored.push_back(argument);
        }
    }
    return arguments;
}
