#pragma once
// The updater reads every name relative to its current folder; the tool
// takes the update folder as its current folder for the reads, and gives the
// previous one back however the command ends.

#include <string>

class WorkingFolder {
public:
    WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    virtual ~WorkingFolder();

    // Makes folder (relative to the current folder; "" is the current folder
    // itself) the current folder. False when it cannot be entered.
    bool Enter(const std::string& folder);
    // The current folder's full path, as the updater's archive lookup sees it.
    std::string Path() const;

private:
    std::string previous_;
};

// path made absolute against the current folder; unchanged when it is
// already absolute (a drive or a leading backslash) or cannot be resolved.
std::string FullPath(const std::string& path);
