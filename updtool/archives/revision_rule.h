#pragma once
// A revision for pack to suggest. The updater compares archive revisions as
// text (CompareVersionTexts, update/update_decision.h) and skips an archive
// whose text sorts lower: revision 10 shipped over revision 9 is skipped.

#include <cstdint>

// A revision above `older` whose text sorts after older's: older + 1 when
// its text does, else older * 10 (the smallest one for older >= 0), or 0
// for a negative older. False when none fits 32 bits.
bool RevisionAfter(int32_t older, int32_t& suggestion);
