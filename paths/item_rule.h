#pragma once
// Which listed items the updater takes. An item is a name below the update
// folder (its source) and below the install folder (its target); the folder
// it came in may be anyone's, so an item that could name anything outside
// either folder is refused before anything is written. Both programs judge
// items here, so the publisher's tool reports exactly what the updater
// refuses.

#include <string>
#include <vector>

// Why an item is refused; ItemAccepted when it is not.
enum ItemRefusal {
    ItemAccepted,
    ItemParentSegment,  // a ".." segment (or any segment of dots only)
    ItemRooted,         // begins with a separator: root-relative, UNC, \\?\ or \\.\ .
    ItemColon,          // a ":" anywhere: a drive letter or an alternate data stream
    ItemDeviceName,     // a segment naming a device (paths/device_name.h)
};

// item: code page 932 bytes, as listed in update.ini. "\" and "/" both
// separate segments; a trail byte 0x5C is part of its character.
ItemRefusal JudgeItem(const char* item);

// The updater reports a refused item with kRefusedItemText (base/messages.h).

// The one rule for "the same item" in both programs (repeated listings, the
// manifest's lines): two names name one file when their keys compare equal
// as the system compares names, case ignored in every script
// (CompareStringOrdinal).

// item with "/" as "\\", its case kept.
std::wstring ItemKey(const std::wstring& item);
// Negative, 0 or positive as key a sorts before, with or after key b.
int CompareItemKeys(const std::wstring& a, const std::wstring& b);

// For ordered containers keyed by ItemKey.
class ItemKeyLess {
public:
    bool operator()(const std::wstring& a, const std::wstring& b) const
    {
        return CompareItemKeys(a, b) < 0;
    }
    virtual ~ItemKeyLess() {}
};

// For each name, whether a later one names the same item: a run applies an
// item once, from its last listing.
std::vector<bool> ListedAgainLater(const std::vector<std::wstring>& names);
