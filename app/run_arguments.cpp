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

namespace {

bool Is(const std::wstring& argument, const wchar_t* name)
{
    return CompareStringOrdinal(argument.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
}

// Whether argument begins with prefix ("/log="), case ignored; value: the
// rest.
bool Valued(const std::wstring& argument, const wchar_t* prefix, std::wstring& value)
{
    const int length = int(wcslen(prefix));
    if (int(argument.size()) < length ||
        CompareStringOrdinal(argument.c_str(), length, prefix, length, TRUE) != CSTR_EQUAL)
        return false;
    value = argument.substr(length);
    return true;
}

}  // namespace

RunArguments ParseRunArguments(const wchar_t* commandLine)
{
    RunArguments arguments;
    const wchar_t* at = SkipProgramName(commandLine ? commandLine : L"");
    for (;;) {
        while (IsBlank(*at))
            ++at;
        if (!*at)
            break;
        const std::wstring argument = NextArgument(at);
        std::wstring value;
        if (Is(argument, L"/log")) {
            arguments.log = true;
            arguments.logPath.clear();
        } else if (Valued(argument, L"/log=", value)) {
            arguments.log = true;
            arguments.logPath = value;
        } else if (Is(argument, L"/silent")) {
            arguments.silent = true;
        } else if (Valued(argument, L"/dir=", value)) {
            arguments.dir = value;
        } else {
            arguments.ignored.push_back(argument);
        }
    }
    return arguments;
}
