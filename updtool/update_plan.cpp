#include "updtool/update_plan.h"

#include <windows.h>
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/owned.h"
#include "base/text_932.h"
#include "pak/archive_search.h"
#include "pak/archive_check.h"
#include "paths/wide_paths.h"
#include "update/item_rule.h"
#include "update/target_probe.h"
#include "updtool/command_line.h"
#include "updtool/instance_name.h"
#include "updtool/item_location.h"
#include "updtool/report_text.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_error.h"
#include "updtool/version_order.h"

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Why DecideUpdate decided as it did, in the publisher's words.
std::string Reason(const UpdateDecision& decision, const std::wstring& target)
{
    if (decision.kind == ItemPlain)
        return "plain file, always copied";
    const bool executable = decision.kind == ItemExecutable;
    const std::string source = Utf8From932(TextOf(decision.sourceVersion));
    const std::string installed = Utf8From932(TextOf(decision.targetVersion));
    if (decision.targetVersion.IsEmpty()) {
        if (!Exists(target))
            return "no installed copy";
        return executable ? "the installed copy has no FileVersion"
                          : "the installed archive cannot be read";
    }
    if (decision.sourceVersion.IsEmpty())
        return (executable ? "the shipped copy has no FileVersion"
                           : "the shipped archive cannot be read") +
               std::string(", the installed one has ") + installed;
    const char* a = TextOf(decision.sourceVersion);
    const char* b = TextOf(decision.targetVersion);
    const int asNumbers = CompareAsNumbers(a, b);
    if (!decision.apply)
        return source + " compares lower than " + installed + " as text" +
               (asNumbers > 0 ? ", though as numbers it is higher" : "");
    const String text(decision.sourceVersion);
    if (text.CompareNoCase(b) == 0)
        return "same version as text, copied again";
    return source + " compares higher than " + installed + " as text" +
           (asNumbers < 0 ? ", though as numbers it is lower" : "");
}

// Why the updater's copy of source (relative to the update folder) over
// target would ask the user, judged from what lies there now as the copy
// judges it; "" when it would not.
std::string PromptReason(const std::wstring& source, const std::wstring& target)
{
    const DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    if (sourceAttributes != INVALID_FILE_ATTRIBUTES && (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return "a folder: the updater cannot open it as a file";
    // As the runtime's reading open shares the file.
    const Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!in.Valid())
        return SystemErrorText("the updater cannot open it", GetLastError());
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const DWORD error = ProbeTarget(target, attributes);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // The folders on the way are created; one that is a file blocks them.
        std::wstring folder = ContainingFolder(target);
        while (!Exists(folder) && ContainingFolder(folder) != folder)
            folder = ContainingFolder(folder);
        const DWORD folderAttributes = GetFileAttributesW(folder.c_str());
        if (folderAttributes != INVALID_FILE_ATTRIBUTES &&
            !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return "its target's folder " + Shown(folder) + " is a file";
        return std::string();
    }
    if (error == 0)
        return std::string();
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return "its target is a folder, which the updater cannot replace";
    // Windows refuses to replace a read-only file (Wine would not).
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return "its target is read-only, which the updater cannot replace";
    return SystemErrorText("its target cannot be replaced now", error);
}

// The free bytes of the disk that holds path, or of the nearest folder above
// it that exists; UINT64_MAX when unknown.
uint64_t FreeBytes(std::wstring path)
{
    while (!Exists(path) && ContainingFolder(path) != path)
        path = ContainingFolder(path);
    ULARGE_INTEGER free = {};
    return GetDiskFreeSpaceExW(path.c_str(), &free, nullptr, nullptr) ? free.QuadPart : UINT64_MAX;
}

uint64_t SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

}  // namespace

const char* ActionName(PlannedAction action)
{
    switch (action) {
    case ActionApply: return "apply";
    case ActionSkip: return "skip";
    case ActionMissing: return "missing";
    case ActionPrompt: return "prompt";
    case ActionStop: return "stop";
    case ActionNotReached: break;
    }
    return "not reached";
}

const char* OutcomeName(PlanOutcome outcome)
{
    switch (outcome) {
    case OutcomeCompletes: return "completes";
    case OutcomePrompts: return "prompts";
    case OutcomeNothing: return "nothing";
    case OutcomeError: return "error";
    case OutcomeSilent: break;
    }
    return "silent";
}

PlannedItem::PlannedItem() : kind(ItemPlain), action(ActionSkip), size(0) {}

PlannedItem::~PlannedItem() {}

UpdatePlan::UpdatePlan()
    : outcome(OutcomeCompletes), stoppedAt(-1), allOrNothing(false), appliedBytes(0),
      freeBytes(UINT64_MAX)
{
}

UpdatePlan::~UpdatePlan() {}

void UpdatePlan::Stop(int item, const std::string& message)
{
    outcome = OutcomeError;
    stopMessage = message;
    stoppedAt = item;
}

bool UpdatePlan::BeforeDialog(const UpdateFolder& folder)
{
    allOrNothing = folder.settings.allOrNothing;
    if (!folder.readFailure.empty()) {
        Stop(-1, folder.readFailure);
        return false;
    }
    InstanceNameProbe probe;
    probe.Probe(TextOf(folder.settings.name));
    if (!probe.created) {
        outcome = OutcomeSilent;
        stopMessage = "Name " + Quoted(folder.settings.name) +
                      " cannot name the instance event (error " + std::to_string(probe.error) + ")";
        return false;
    }
    for (const String& item : folder.settings.files) {
        if (JudgeItem(TextOf(item)) != ItemAccepted) {
            String message;
            message.Format(kRefusedItemText, TextOf(item));
            Stop(-1, Utf8From932(TextOf(message)));
            return false;
        }
    }
    return true;
}

void UpdatePlan::NotReached(const UpdateSettings& settings)
{
    items.assign(settings.files.size(), PlannedItem());
    for (size_t i = 0; i < items.size(); ++i) {
        items[i].item = TextOf(settings.files[i]);
        items[i].kind = KindOfItem(TextOf(settings.files[i]));
        items[i].action = ActionNotReached;
        items[i].reason = "not reached: the run ends before its dialog";
    }
}

void UpdatePlan::Items(const UpdateSettings& settings, const std::wstring& destination)
{
    allOrNothing = settings.allOrNothing;
    freeBytes = FreeBytes(destination);
    items.assign(settings.files.size(), PlannedItem());
    for (size_t i = 0; i < items.size(); ++i) {
        PlannedItem& planned = items[i];
        planned.item = TextOf(settings.files[i]);
        planned.kind = KindOfItem(planned.item.c_str());
        // The updater's join: the folder, a backslash and the item.
        const std::wstring source = WideFrom932(planned.item.c_str());
        planned.target = destination + L"\\" + source;
        if (outcome == OutcomeError) {
            planned.action = ActionNotReached;
            planned.reason = "not reached: the updater stopped at " + Quoted(items[stoppedAt].item);
            continue;
        }
        String sourceText;
        sourceText.Format("%s", planned.item.c_str());
        if (!PathExists(sourceText.text)) {
            ItemLocation where;
            LocateItem(sourceText.text, where);
            planned.action = ActionMissing;
            planned.reason = where.found == FoundArchive
                                 ? "not a file in the update folder (only inside an archive: " +
                                       Quoted(where.entry) + " in " + where.archive + ")"
                                 : std::string("not in the update folder");
            continue;
        }
        UpdateDecision decision;
        try {
            DecideUpdate(sourceText.text, planned.target, decision);
            if (decision.apply && decision.kind == ItemArchive)
                CheckArchiveIsSound(source);
        } catch (const OCErrorException& failure) {
            planned.action = ActionStop;
            planned.reason = "the updater stops here with its error box: " + Utf8(failure.wideMessage);
            Stop(int(i), Utf8(failure.wideMessage));
            continue;
        }
        planned.sourceVersion = TextOf(decision.sourceVersion);
        planned.targetVersion = TextOf(decision.targetVersion);
        planned.reason = Reason(decision, planned.target);
        if (!decision.apply) {
            planned.action = ActionSkip;
            continue;
        }
        if (Exists(planned.target) && NamesSameFile(source, planned.target)) {
            planned.action = ActionSkip;
            planned.reason = "its target is the shipped file itself: nothing to copy";
            continue;
        }
        const std::string prompt = PromptReason(source, planned.target);
        if (!prompt.empty()) {
            planned.action = ActionPrompt;
            planned.reason = prompt + "; the updater asks (Abort, Retry, Ignore): Ignore skips it, "
                                      "Abort ends the run in its error box";
            continue;
        }
        planned.size = SizeOf(source);
        // Every copy is kept beside its target until the last is written.
        if (allOrNothing && appliedBytes + planned.size > freeBytes) {
            planned.action = ActionStop;
            planned.reason = "the copies need " + std::to_string(appliedBytes + planned.size) +
                             " bytes beside their targets, the disk has " +
                             std::to_string(freeBytes) + " free: the updater stops here with its "
                             "error box: " + Utf8From932(kWriteFailedText);
            Stop(int(i), Utf8From932(kWriteFailedText));
            continue;
        }
        planned.action = ActionApply;
        appliedBytes += planned.size;
    }
    Finish();
}

void UpdatePlan::Finish()
{
    if (outcome == OutcomeError || outcome == OutcomeSilent)
        return;
    bool applied = false, asked = false;
    for (const PlannedItem& planned : items) {
        applied = applied || planned.action == ActionApply;
        asked = asked || planned.action == ActionPrompt;
    }
    outcome = asked ? OutcomePrompts : applied ? OutcomeCompletes : OutcomeNothing;
}
