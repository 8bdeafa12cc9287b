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

class NamePatterns {
public:
    // patterns: code page 932 texts.
    explicit NamePatterns(const std::vector<std::string>& patterns);
    virtual ~NamePatterns();

    bool Matches(const LookupKey& name) const;

private:
    std::vector<LookupKey> patterns_;
};

// Names or patterns given to command, as code page 932 texts into texts
// (slashes turned to backslashes); ExitOk, or the exit code after the usage
// message naming one that no entry name can hold. option: the option they
// came with, for the message; null for positional arguments.
int EntryTexts(const char* command, const std::vector<std::wstring>& values, const char* option,
               std::vector<std::string>& texts);
