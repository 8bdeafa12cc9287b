#pragma once
// The updater's command line: only /log=PATH means anything; every other
// argument is ignored, and named in the run's record.

#include <string>
#include <vector>

class RunArguments {
public:
    bool logGiven;
    std::wstring logPath;               // as given after "/log="
    std::vector<std::wstring> ignored;  // every other argument

    RunArguments();
    virtual ~RunArguments();
};

// Splits a command line as the system's runtime does (the program's name
// first, then arguments separated by blanks, "..." grouping, \" a quote) and
// reads the arguments after the program's name. "/log=" is matched without
// regard to case; a later /log= wins.
RunArguments ParseRunArguments(const wchar_t* commandLine);
