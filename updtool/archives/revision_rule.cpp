#include "updtool/archives/revision_rule.h"

#include "pak/archive_revision.h"
#include "update/update_decision.h"

bool RevisionAfter(int32_t older, int32_t& suggestion)
{
    const int64_t candidates[] = {int64_t(older) + 1, older >= 0 ? int64_t(older) * 10 : 0};
    for (int64_t candidate : candidates) {
        if (candidate > older && candidate <= INT32_MAX &&
            CompareVersionTexts(RevisionText(int32_t(candidate)).c_str(),
                                RevisionText(older).c_str()) > 0) {
            suggestion = int32_t(candidate);
            return true;
        }
    }
    return false;
}
