#pragma once
// The updater's command line. Without arguments the run is the one its
// callers rely on: no record, exit code 0, the dialog. For administrators:
//   /log          the record in the user's temporary folder
//   /log=PATH     the record at PATH
//   /silent       no window and no box (each question answered as its safe
//                 choice), the record always written, exit codes that say
//                 how the run ended (run_sequence.h)
//   /dir=PATH     the install folder; the dialog proposes it
// Matched without regard to case; every other argument is ignored, and
// named in the record.

#include <string>
#include <vector>

class RunArguments {
public:
    bool log = false;       // /log or /log=PATH
    std::wstring logPath;   // /log=PATH; empty: the temporary folder
    bool silent = false;
    std::wstring dir;       // /dir=PATH as given; empty: none
    std::vector<std::wstring> ignored;  // every other argument

    virtual ~RunArguments() {}

    // Whether the run keeps a record.
    bool Records() const { return log || silent; }
};

// Splits a command line as the system's runtime does (the program's name
// first, then arguments separated by blanks, "..." grouping, \" a quote) and
// reads the arguments after the program's name. A later /log or /dir wins.
RunArguments ParseRunArguments(const wchar_t* commandLine);
