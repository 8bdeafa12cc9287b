#pragma once
// A table of tool runs, one row each: the folder it is run in, the command,
// and what must come of it, files around it included.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "tests/support/archive_writer.h"
#include "tests/support/scratch_dir.h"

struct ToolRow {
    const char* what;
    std::function<void(ScratchDir&)> setup;
    std::vector<std::string> args;
    int exitCode;
    std::vector<std::string> out;  // each a part of standard output
    std::vector<std::string> err;  // each a part of standard error
    std::function<void(ScratchDir&, const char*)> after;  // may be null
};

// Each part must be found in text (or, present false, must not be).
void ExpectParts(const std::vector<std::string>& parts, const std::string& text, bool present,
                 const std::string& what);

// Runs each row in a scratch folder of its own.
void RunToolRows(const std::vector<ToolRow>& rows);

// An archive of the entries.
std::string Pak(const std::vector<PakEntry>& entries, uint32_t version = 2, int32_t revision = 9);
