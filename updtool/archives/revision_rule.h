#pragma once
// How the updater orders archive revisions. It reads each archive's
// revision as signed decimal text (GetArchiveRevisionText) and copies the
// shipped archive when that text compares greater than or equal to the
// installed one's as text, case ignored: so revision 10 sorts before
// revision 9, and an archive of revision 10 shipped over one of revision 9
// is skipped as older.

#include <cstdint>
#include <string>

// Does the updater take `newer` as newer than `older`: does its text sort
// after older's? Equal texts are not newer (the updater copies such an
// archive again, but cannot tell it from the installed one).
bool RevisionSortsAfter(const std::string& newer, const std::string& older);

// A revision above `older` whose text sorts after older's: older + 1 when
// its text does, else older * 10 (the smallest one for older >= 0), or 0
// for a negative older. False when none fits 32 bits.
bool RevisionAfter(int32_t older, int32_t& suggestion);
