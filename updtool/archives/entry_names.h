#pragma once
// Entry names, as pack stores them and extract writes them: which names may
// become files below a folder, the order pack writes them in, and the name
// patterns of pack's options.

#include <string>
#include <utility>
#include <vector>
#include "pak/name_matcher.h"

// Which entry names may become files below a folder. An archive may come
// from anywhere, so extract trusts no name: it must stay below the folder
// and mean to Windows what it says. pack refuses the same names, since an
// archive holding them could never be extracted.
//
// Refused: empty names and NUL bytes; bytes that are not code page 932
// text; absolute names (a leading backslash, so UNC names too) and drive
// names ("C:\x"); any other ':' (an alternate data stream, "a:b.txt");
// '/' (Windows reads it as a folder separator); control characters and
// < > " | ? *; and per backslash-separated part: empty parts, '.' and '..',
// a trailing dot or space (which Windows drops, so the file would get
// another name), and device names (paths/device_name.h).
// Why name (code page 932 bytes) may not become a file, or "" when it may.
std::string EntryNameRefusal(const std::string& name);

// The order pack writes entries in, and what stands in its way, by the
// lookup's own keys (pak/name_matcher.h). The lookup takes the first entry,
// in index order, whose name begins with the name sought. Ordering entries by
// these keys puts every name before the longer names it begins, so each
// entry is found by its own name; two names with the same key would hide one
// another.
class LookupOrder {
public:
    std::vector<LookupKey> keys;  // of each name, as given
    std::vector<size_t> order;    // the names' indexes, in the lookup's order
    // Neighbours in that order: two names the lookup cannot tell apart
    // (they differ only in case), and a name that begins the next one.
    std::vector<std::pair<size_t, size_t>> sameName;
    std::vector<std::pair<size_t, size_t>> begins;

    explicit LookupOrder(const std::vector<std::string>& names);
    virtual ~LookupOrder() {}
};

// The name patterns of pack: --store (an entry whose name matches one is
// stored raw, never compressed: media that is compressed already, or data
// the product maps straight from the archive) and --exclude (a file or
// folder whose name below the packed folder matches one is left out). `*`
// matches any run of characters, backslashes included (so *.png matches
// img\a.png); `?` matches one character, double-byte ones included. Case is
// ignored as the lookup ignores it (LookupOrder).
class NamePatterns {
public:
    // patterns: code page 932 texts.
    explicit NamePatterns(const std::vector<std::string>& patterns);
    virtual ~NamePatterns() {}

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
