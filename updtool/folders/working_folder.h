#pragma once
// The updater reads every name relative to its current folder; the tool
// takes the update folder as its current folder for the reads, and gives the
// previous one back however the command ends.

#include <string>

class WorkingFolder {
public:
    WorkingFolder() {}
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    virtual ~WorkingFolder();

    // Makes folder (relative to the current folder; "" is the current folder
    // itself) the current folder. False when it cannot be entered.
    bool Enter(const std::wstring& folder);

private:
    std::wstring previous_;
};

// Whether path names a folder (or a link to one).
bool IsFolder(const std::wstring& path);

// path made full against the current folder, without . and .. parts and
// without a trailing backslash (but a root's); empty when it cannot be.
std::wstring FullPath(const std::wstring& path);
