#pragma once
// make's comparison of two releases: the files of the new one that the
// update ships (added, or changed byte for byte), the files of the old one
// that the new one lacks, and why the updater would not install a shipped
// file, judged with the updater's own rules. A file that is not shipped is
// not judged: the updater never meets it.

#include <string>
#include <vector>
#include "paths/item_record.h"
#include "updtool/archives/entry_names.h"
#include "updtool/console/command_report.h"

class MadeItem {
public:
    std::string name;   // below both folders (code page 932)
    std::wstring path;  // in the new release
    bool changed = false;  // else added
    ItemKind kind = ItemPlain;
    std::string oldVersion, newVersion;  // code page 932

    virtual ~MadeItem() {}
};

class ReleaseDiff {
public:
    std::vector<MadeItem> items;       // shipped, in the lookup's order
    std::vector<std::string> removed;  // UTF-8
    Problems problems;

    virtual ~ReleaseDiff() {}
};

// What the updater's settings reader takes for key from an update.ini
// text (code page 932); "" when nothing.
std::string ReadBack(const std::string& text, const char* key);

// Compares the releases oldDir and newDir (full paths), leaving out what
// leftOut matches in either; makes newDir the current folder while it
// judges. Shows progress unless quiet. Throws ToolError when a folder cannot
// be listed or a file read.
void CompareReleases(const std::wstring& oldDir, const std::wstring& newDir,
                     const NamePatterns& leftOut, bool quiet, ReleaseDiff& diff);
