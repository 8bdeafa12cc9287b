#pragma once
// Before the first write: the room the run's copies need on each volume
// against what is free there. Each copy is written beside its target; an
// all-or-nothing run keeps every copy until the last is written (its old
// files are kept by renaming, which costs nothing), an item-by-item run
// frees each old file as its copy takes its place.

#include <cstdint>
#include <map>
#include <string>
#include <vector>
#include "paths/item_record.h"

class VolumeRoom {
public:
    std::wstring volume;  // "C:\\"
    uint64_t needed = 0;
    uint64_t free = 0;

    virtual ~VolumeRoom() {}
};

// One copy as the room check counts it.
class CopyNeed {
public:
    std::wstring volume;
    uint64_t size = 0;     // the copy's
    uint64_t replaced = 0; // the target's it replaces (0: new)

    virtual ~CopyNeed() {}
};

// The most each volume holds of the run's bytes at once, in list order.
std::map<std::wstring, uint64_t> NeededRoom(const std::vector<CopyNeed>& copies, bool allOrNothing);

// The volumes where the records to be applied do not fit now.
std::vector<VolumeRoom> ShortVolumes(const std::vector<ItemRecord>& records, bool allOrNothing);
