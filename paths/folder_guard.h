#pragma once
// The install folder may be writable by any user, who could put a link
// (symbolic link, junction, mount point) where an update expects a folder
// and so lead the elevated updater's writes anywhere. Every folder the run
// writes in below the install folder is opened, found to be no link, and
// held open without delete sharing while the run writes there, so that it
// cannot be renamed away and replaced by a link in the meantime. The install
// folder itself may be a link (a product moved to another drive that way):
// only what lies below it is judged.

#include <map>
#include <memory>
#include <string>
#include "base/owned.h"

class FolderGuard {
public:
    explicit FolderGuard(const std::wstring& installFolder);
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;
    virtual ~FolderGuard();

    // Every folder from the install folder down to relativeFolder ("" for
    // the install folder; "\" and "/" separate), made when missing, and
    // held. False, with ERROR_CANT_RESOLVE_FILENAME, when one of them is a
    // link. A folder that cannot be opened, or a file in the way, is left
    // to the copy, which asks the user about it as before.
    bool Hold(const std::wstring& relativeFolder);

    // Lets go of every folder: the run's own ones can then be removed.
    void ReleaseAll();

private:
    std::wstring installFolder_;
    std::wstring installFinal_;  // its path with every link resolved
    std::map<std::wstring, std::unique_ptr<Handle>> held_;  // by relative path
};

// True when neither installFolder\relative nor any folder between it and
// installFolder is a link; what is missing is no link. For recovery, which
// makes nothing.
bool NoLinkBelow(const std::wstring& installFolder, const std::wstring& relative);

// True when the file or folder at path is itself a link.
bool IsLink(const std::wstring& path);
