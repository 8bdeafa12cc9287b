#include "updtool/commands/update_plan.h"

#include <windows.h>
#include "base/messages.h"
#include "base/text_932.h"
#include "pak/archive_search.h"
#include "paths/wide_paths.h"
#include "update/instance_event.h"
#include "paths/item_rule.h"
#include "updtool/console/command_line.h"
#include "updtool/folders/item_location.h"
#include "updtool/console/report_text.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "updtool/commands/version_order.h"

namespace {

// Why DecideUpdate decided as it did.
std::string DecisionReason(const UpdateDecision& decision, const std::wstring& target)
{
    if (decision.kind == ItemPlain)
        return "plain file, always copied";
    const bool executable = decision.kind == ItemExecutable;
    const std::string source = Utf8From932(TextOf(decision.sourceVersion));
    const std::string installed = Utf8From932(TextOf(decision.targetVersion));
    if (decision.targetVersion.IsEmpty()) {
        if (!PathExists(target))
            return "no installed copy";
        return executable ? "the installed copy has no FileVersion"
                          : "the installed archive cannot be read";
    }
    if (decision.sourceVersion.IsEmpty())
        return (executable ? "the shipped copy has no FileVersion"
                           : "the shipped archive cannot be read") +
               std::string(", the installed one has ") + installed;
    const int asNumbers =
        CompareAsNumbers(TextOf(decision.sourceVersion), TextOf(decision.targetVersion));
    if (!decision.apply)
        return source + " compares lower than " + installed + " as text" +
               (asNumbers > 0 ? ", though as numbers it is higher" : "");
    if (decision.sourceVersion.CompareNoCase(TextOf(decision.targetVersion)) == 0)
        return "same version as text, copied again";
    return source + " compares higher than " + installed + " as text" +
           (asNumbers < 0 ? ", though as numbers it is lower" : "");
}

std::string PromptReason(const ItemStep& step)
{
    switch (step.prompt) {
    case PromptSourceIsFolder: return "a folder: the updater cannot open it as a file";
    case PromptSourceUnreadable: return SystemErrorText("the updater cannot open it", step.error);
    case PromptFolderIsFile: return "its target's folder " + Shown(step.path) + " is a file";
    case PromptTargetIsFolder: return "its target is a folder, which the updater cannot replace";
    case PromptTargetReadOnly: return "its target is read-only, which the updater cannot replace";
    case PromptTargetHeld: return SystemErrorText("its target cannot be replaced now", step.error);
    case PromptNone: break;
    }
    return std::string();
}

std::string MissingReason(const ItemStep& step, const ItemLocation* known)
{
    ItemLocation located;
    if (known == nullptr)
        LocateItem(TextOf(step.item), located);
    const ItemLocation& where = known ? *known : located;
    if (where.found != FoundArchive)
        return "not in the update folder";
    return "not a file in the update folder (only inside an archive: " + Quoted(where.entry) +
           " in " + where.archive + ")";
}

// The free bytes of the disk that holds path, or of the nearest folder above
// it that exists; UINT64_MAX when unknown.
uint64_t FreeBytes(std::wstring path)
{
    while (!path.empty() && !PathExists(path) && ContainingFolder(path) != path)
        path = ContainingFolder(path);
    ULARGE_INTEGER free = {};
    return !path.empty() && GetDiskFreeSpaceExW(path.c_str(), &free, nullptr, nullptr)
               ? free.QuadPart
               : UINT64_MAX;
}

// The updater's error box for a refused item (UTF-8).
std::string RefusalText(const String& item)
{
    String message;
    message.Format(kRefusedItemText, TextOf(item));
    return Utf8From932(TextOf(message));
}

}  // namespace

std::string StepReason(const ItemStep& step, const ItemLocation* where)
{
    switch (step.verdict) {
    case VerdictRefused: return "the updater refuses it before its dialog: " + RefusalText(step.item);
    case VerdictMissing: return MissingReason(step, where);
    case VerdictSameFile: return "its target is the shipped file itself: nothing to copy";
    case VerdictListedAgain: return "the same target is listed again later: only its last listing is applied";
    case VerdictPrompt:
        return PromptReason(step) + "; the updater asks (Abort, Retry, Ignore): Ignore skips it, "
                                    "Abort ends the run in its error box";
    case VerdictStop:
        return "the updater stops here with its error box: " + Utf8(step.stopMessage);
    case VerdictSkip:
    case VerdictApply: break;
    }
    return DecisionReason(step.decision, step.target);
}

void UpdatePlan::Stop(int item, const std::string& message)
{
    outcome = OutcomeError;
    stopMessage = message;
    stoppedAt = item;
}

void UpdatePlan::Refuse(const std::string& message, bool afterDialog)
{
    Stop(-1, message);
    this->afterDialog = afterDialog;
}

bool UpdatePlan::BeforeDialog(const UpdateFolder& folder)
{
    allOrNothing = folder.settings.allOrNothing;
    if (!folder.readFailure.empty()) {
        Stop(-1, folder.readFailure);
        return false;
    }
    Handle event;
    eventError = CreateInstanceEvent(folder.settings.name, event);
    if (eventError && eventError != ERROR_ALREADY_EXISTS) {
        outcome = OutcomeSilent;
        stopMessage = "Name " + Quoted(folder.settings.name) +
                      " cannot name the instance event (error " + std::to_string(eventError) + ")";
        return false;
    }
    for (const String& item : folder.settings.files) {
        if (JudgeItem(TextOf(item)) != ItemAccepted) {
            Stop(-1, RefusalText(item));
            return false;
        }
    }
    return true;
}

void UpdatePlan::Items(const UpdateSettings& settings, const std::wstring& destination,
                       bool throughStops)
{
    allOrNothing = settings.allOrNothing;
    freeBytes = FreeBytes(destination);
    items.clear();
    items.reserve(settings.files.size());
    const std::vector<bool> listedAgain = ListedAgainLater(settings.files);
    bool asked = false;
    for (size_t i = 0; i < settings.files.size(); ++i) {
        const char* name = TextOf(settings.files[i]);
        items.emplace_back(name, destination.empty() ? std::wstring() : ItemTarget(destination, name));
        PlannedItem& planned = items.back();
        planned.step.decision.kind = KindOfItem(name);
        if ((outcome == OutcomeError || outcome == OutcomeSilent) && !throughStops) {
            planned.reason = stoppedAt < 0 ? std::string("not reached: the run ends ") +
                                                 (afterDialog ? "before its first item" : "before its dialog")
                                           : "not reached: the updater stopped at " +
                                                 Quoted(items[size_t(stoppedAt)].step.item);
            continue;
        }
        const uint64_t room = allOrNothing && freeBytes != UINT64_MAX
                                  ? (appliedBytes < freeBytes ? freeBytes - appliedBytes : 0)
                                  : UINT64_MAX;
        const ItemVerdict verdict =
            listedAgain[i] ? (planned.step.verdict = VerdictListedAgain) : PredictItemStep(planned.step, room);
        planned.reached = true;
        if (verdict == VerdictMissing)
            LocateItem(name, planned.where);
        else
            planned.where.found = verdict == VerdictRefused ? FoundMissing
                                  : planned.step.prompt == PromptSourceIsFolder ? FoundFolder
                                                                                : FoundFile;
        planned.reason = StepReason(planned.step, &planned.where);
        const bool roomStop = verdict == VerdictStop && planned.step.error == ERROR_DISK_FULL;
        if (roomStop)
            planned.reason = "the copies need " + std::to_string(appliedBytes + planned.step.size) +
                             " bytes beside their targets, the disk has " +
                             std::to_string(freeBytes) + " free: " + planned.reason;
        if (verdict == VerdictApply || roomStop)
            neededBytes += planned.step.size;
        if (verdict == VerdictApply) {
            appliedBytes += planned.step.size;
            ++appliedItems;
        }
        if (verdict == VerdictStop && outcome != OutcomeError)
            Stop(int(i), Utf8(planned.step.stopMessage));
        asked = asked || verdict == VerdictPrompt;
    }
    if (outcome != OutcomeError && outcome != OutcomeSilent)
        outcome = asked ? OutcomePrompts : appliedItems ? OutcomeCompletes : OutcomeNothing;
}
