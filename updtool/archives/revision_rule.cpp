#include "updtool/archives/revision_rule.h"

#include "update/update_decision.h"
#include "pak/archive_revision.h"

bool RevisionSortsAfter(const std::string& newer, const std::string& older)
{
    return CompareVersionTexts(newer.c_str(), older.c_str()) > 0;
}

bool RevisionAfter(int32_t older, int32_t& suggestion)
{
    const std::string olderText = RevisionText(older);
    const int64_t candidates[] = {int64_t(older) + 1, older >= 0 ? int64_t(older) * 10 : 0};
    for (int64_t candidate : candidates) {
        if (candidate > older && candidate <= INT32_MAX &&
            RevisionSortsAfter(RevisionText(int32_t(candidate)), olderText)) {
            suggestion = int32_t(candidate);
            return true;
        }
    }
    return false;
}
