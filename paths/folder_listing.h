#pragma once
// One pass over the entries of a folder that match a pattern
// (FindFirstFileW), the find handle owned and closed however the loop ends.
// "." and ".." are left out. Entries come in the file system's order.
//
//     for (FolderListing list(folder + L"\\*"); list.Next();)
//         ... list.Name(), list.IsFolder(), list.Entry() ...

#include <windows.h>
#include <string>
#include "base/owned.h"

class FolderListing {
public:
    // pattern: a folder, a backslash and a name with wildcards ("dir\*.pak").
    explicit FolderListing(const std::wstring& pattern);
    FolderListing(const FolderListing&) = delete;
    FolderListing& operator=(const FolderListing&) = delete;
    virtual ~FolderListing();

    // Steps to the next entry; false at the end, also when the folder could
    // not be listed at all (see Error).
    bool Next();

    // The current entry, valid after Next gave true.
    const WIN32_FIND_DATAW& Entry() const { return found_; }
    std::wstring Name() const { return found_.cFileName; }
    bool IsFolder() const { return (found_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

    // After Next gave false: 0 when every match was seen (none matching
    // included), else the system's error that cut the listing short
    // (ERROR_PATH_NOT_FOUND for a missing folder, ERROR_ACCESS_DENIED ...).
    DWORD Error() const { return error_; }

private:
    std::wstring pattern_;
    WIN32_FIND_DATAW found_;
    FindOwner handle_;
    bool started_;
    DWORD error_;
};
