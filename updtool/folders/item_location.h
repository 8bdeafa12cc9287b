#pragma once
// Where a name of the update folder is found: the updater takes an item only
// as a plain file (or folder) of the current folder; a name that is no file
// is served from the folder's archives to every other reader, by the lookup
// that matches entry names by their beginning.

#include <string>
#include "paths/item_record.h"
#include "updtool/console/command_report.h"

enum ItemFound {
    FoundFile,     // a plain file: the updater takes it
    FoundFolder,   // a folder: the updater tries to copy it as a file
    FoundArchive,  // only an entry of an archive: the updater skips it
    FoundMissing,  // nowhere: the updater skips it
};

class ItemLocation {
public:
    ItemFound found = FoundMissing;
    std::string archive;  // FoundArchive: the archive's file name (UTF-8)
    std::string entry;    // FoundArchive: the entry the lookup chose (code page 932)
    bool longerName = false;  // FoundArchive: that entry's name only begins with the name

    virtual ~ItemLocation() {}
};

// Looks name (code page 932) up relative to the current folder as the updater's existence
// test does, and, when that finds nothing, as the archive lookup does
// (quietly; nothing is prompted; a damaged archive finds nothing).
void LocateItem(const char* name, ItemLocation& where);

// Where file, just opened by name (code page 932), came from: a plain file,
// or the entry of an archive the lookup chose.
class ArchiveFile;
void LocateOpened(const ArchiveFile& file, const char* name, ItemLocation& where);

// Where a decided record's shipped item is found: a missing one looked up
// as LocateItem does; the others as the decision found them.
void LocateRecord(const ItemRecord& record, ItemLocation& where);

// Why the record came out as it did (update/item_words.h), a missing item's
// place inside an archive told.
std::string ItemReason(const ItemRecord& record, const ItemLocation& where);

// Damaged archives in the folder. Every lookup of a name that is not a plain
// file walks the folder's archives in order, and the first damage it meets
// ends it in "データ解凍に失敗しました。": for the updater, an error box and the
// end of the run. Checks every archive as the updater checks one it applies
// (its header, whole index and every entry's bounds): an error per damaged
// archive, a warning per archive of an unknown format (the lookup finds
// nothing in it). Whether compressed data inflates is not tried here.
void CheckArchives(Problems& problems);
