#pragma once
// The name patterns of pack: --store (an entry whose name matches one is
// stored raw, never compressed: media that is compressed already, or data
// the product maps straight from the archive) and --exclude (a file or
// folder whose name below the packed folder matches one is left out). `*`
// matches any run of characters, backslashes included (so *.png matches
// img\a.png); `?` matches one character, double-byte ones included. Case is
// ignored as the lookup ignores it (entry_order.h).

#include <string>
#include <vector>
#include "updtool/archives/entry_order.h"
#include "updtool/console/command_line.h"

class NamePatterns {
public:
    // patterns: code page 932 texts.
    explicit NamePatterns(const std::vector<std::string>& patterns);
    virtual ~NamePatterns();

    bool Matches(const LookupKey& name) const;

private:
    std::vector<LookupKey> patterns_;
};

// The values of option on command's line, as code page 932 texts into
// patterns; ExitOk, or the exit code after the usage message naming one
// that no entry name can hold.
int PatternsOf(const char* command, const CommandLine& line, const char* option,
               std::vector<std::string>& patterns);
