#pragma once
// The install folder may be writable by any user, who could put a link
// (symbolic link, junction, mount point) where an update expects a folder
// and so lead the elevated updater's writes anywhere. Every folder from the
// install folder down to where the run writes is opened once, relative to
// its parent's handle, and checked: not a link (the name's attributes, the
// handle's tag), where its name says (its final path is the install
// folder's final path and the relative path), and the same folder a fresh
// open of its path finds. It stays held without delete sharing until the
// run lets go, and every file step there goes through its handle
// (system/native_file.h), so that no name on the way is looked up again.
// The install folder itself may be a link (a product moved to another drive
// that way): only what lies below it is judged.
//
// On Windows a held folder cannot be renamed, so nothing on the way can
// change. Wine lets one be renamed and looks a held folder's name up again
// for a rename: Unmoved says whether that happened, right before a rename.

#include <map>
#include <memory>
#include <string>
#include <vector>
#include "base/owned.h"
#include "system/native_file.h"

class FolderGuard {
public:
    // makes: folders missing on the way are made (the run); else they are
    // left missing (recovery, which makes nothing).
    explicit FolderGuard(const std::wstring& installFolder, bool makes = true);
    FolderGuard(const FolderGuard&) = delete;
    FolderGuard& operator=(const FolderGuard&) = delete;
    virtual ~FolderGuard();

    // Every folder from the install folder down to relativeFolder ("" for
    // the install folder; "\" and "/" separate), held. False, with
    // ERROR_CANT_RESOLVE_FILENAME, when one of them is a link or not where
    // its name says. A folder that cannot be opened or made, or a file in
    // the way, is not held and is left to the step there, which fails (and
    // asks the user) as before.
    bool Hold(const std::wstring& relativeFolder);

    // leaf (one name) in relativeFolder, through the held folder's handle;
    // by path when that folder is not held.
    FilePlace Place(const std::wstring& relativeFolder, const std::wstring& leaf) const;
    // The same for a path below the install folder.
    FilePlace PlaceOf(const std::wstring& relative) const;
    // The held handle of relativeFolder; null when not held.
    HANDLE Held(const std::wstring& relativeFolder) const;

    // Whether every held folder from the install folder down to
    // relativeFolder is still the one its path leads to.
    bool Unmoved(const std::wstring& relativeFolder) const;
    // The same for every held folder.
    bool Unmoved() const;

    // The folders from the install folder down to relativeFolder that are
    // not there, from the top: those Hold would make.
    std::vector<std::wstring> Missing(const std::wstring& relativeFolder) const;
    // Removes relativeFolder when it is an empty folder where its name says
    // (never what a link there leads to), through its parent's handle. True
    // when it is gone; false when it is not empty, held, or not judged.
    bool RemoveIfEmpty(const std::wstring& relativeFolder);

    // Lets go of relativeFolder and every folder below it: it can then be
    // removed, through its parent's handle.
    void Release(const std::wstring& relativeFolder);
    // Lets go of every folder below the install folder.
    void ReleaseAll();

private:
    std::wstring Path(const std::wstring& relative) const;

    std::wstring installFolder_;
    bool makes_;
    std::wstring installFinal_;  // its path with every link resolved
    std::map<std::wstring, std::unique_ptr<Handle>> held_;  // by relative path ("" the install folder)
};

// The folder part of a path below the install folder, as the system
// separates it ("" for a name in the install folder itself).
std::wstring RelativeFolderOf(const std::wstring& relative);

// True when the file or folder at path is itself a link.
bool IsLink(const std::wstring& path);
