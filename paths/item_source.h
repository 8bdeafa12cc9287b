#pragma once
// An item's source in the update folder (the current folder), opened for
// its check and its copy. The folder is a download anyone may have written
// to, and the updater runs elevated: a link below it (symbolic link,
// junction, mount point) could make it copy a file users may not read to
// where they can. So a source is opened once, found to lie where its name
// says, with no link on the way, and held without write or delete sharing:
// what is checked is then what is copied. The update folder itself may be a
// link.

#include <string>
#include "base/owned.h"
#include "paths/item_record.h"

class SourceFolder {
public:
    SourceFolder();
    virtual ~SourceFolder() {}

    // record's source, into source. Raises OCErrorException
    // "ファイル <item> の指定が正しくありません。" (ERROR_CANT_RESOLVE_FILENAME)
    // when a link lies on its way or it is one. False (the system's error)
    // when it cannot be opened.
    bool Open(const ItemRecord& record, Handle& source) const;

private:
    std::wstring final_;  // the update folder's path, every link resolved
    std::wstring here_;   // and as the system names it
};
