#include "update/item_record.h"

#include "system/run_log.h"

namespace {

std::string Quoted932(const String& text)
{
    return "\"" + LogText932(TextOf(text)) + "\"";
}

// Why the decision went as it did, as the version rule reads the two texts.
std::string Reason(const UpdateDecision& decision)
{
    if (decision.kind == ItemPlain)
        return "plain file, always copied";
    const std::string what = decision.kind == ItemArchive ? "archive revision" : "FileVersion";
    const std::string shipped = "shipped " + what + " " +
                                (decision.sourceVersion.length ? Quoted932(decision.sourceVersion)
                                                               : std::string("(none)"));
    const std::string installed = "installed " + what + " " +
                                  (decision.targetVersion.length ? Quoted932(decision.targetVersion)
                                                                 : std::string("(none)"));
    if (!decision.targetVersion.length)
        return shipped + ", " + installed + ": copied";
    return shipped + " against " + installed +
           (decision.apply ? ": the shipped one compares greater or equal as text, copied"
                           : ": the installed one compares greater as text, kept");
}

}  // namespace

void LogItemStep(size_t number, const ItemStep& step, const std::wstring& source)
{
    std::string line = "item " + std::to_string(number) + " " + Quoted932(step.item) +
                       ": source " + LogText(source) + ", target " + LogText(step.target) + ": ";
    switch (step.verdict) {
    case VerdictListedAgain:
        line += "listed again later, only its last listing is applied";
        break;
    case VerdictMissing:
        line += "skipped, not in the update folder";
        break;
    case VerdictSkip:
        line += "skipped: " + Reason(step.decision);
        break;
    case VerdictApply:
        line += "to be copied (" + std::to_string(step.size) + " bytes): " + Reason(step.decision);
        break;
    default:
        line += "refused";
        break;
    }
    LogEvent(line);
}
