#include "update/item_words.h"

#include "base/messages.h"
#include "base/shown_text.h"
#include "base/text_932.h"
#include "pak/archive_search.h"
#include "paths/error_words.h"
#include "system/run_log.h"
#include "update/update_decision.h"
#include "update/version_order.h"

namespace {

std::string VersionShown(const char* what, const String& version)
{
    return std::string(what) + " " + (version.IsEmpty() ? std::string("(none)") : Quoted(version));
}

}  // namespace

const char* KindName(ItemKind kind)
{
    return kind == ItemExecutable ? "executable" : kind == ItemArchive ? "pak" : "plain";
}

const char* RefusalReason(ItemRefusal refusal)
{
    switch (refusal) {
    case ItemParentSegment: return "it has a \"..\" part";
    case ItemRooted: return "it begins with a separator (root-relative, UNC or device path)";
    case ItemColon: return "it holds \":\" (a drive or an alternate data stream)";
    case ItemDeviceName: return "a part of it names a device";
    case ItemAccepted: break;
    }
    return "";
}

String RefusalBox(const char* item)
{
    String message;
    message.Format(kRefusedItemText, item);
    return message;
}

std::string DecisionFacts(const UpdateDecision& decision)
{
    if (decision.kind == ItemPlain)
        return std::string();
    const char* const what = decision.kind == ItemArchive ? "archive revision" : "FileVersion";
    return VersionShown((std::string("shipped ") + what).c_str(), decision.sourceVersion) +
           " against " + VersionShown((std::string("installed ") + what).c_str(), decision.targetVersion);
}

std::string DecisionReason(const UpdateDecision& decision, const std::wstring& target)
{
    if (decision.kind == ItemPlain)
        return "plain file, always copied";
    const bool executable = decision.kind == ItemExecutable;
    const std::string source = ShownName(TextOf(decision.sourceVersion));
    const std::string installed = ShownName(TextOf(decision.targetVersion));
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
    if (CompareVersionTexts(TextOf(decision.sourceVersion), TextOf(decision.targetVersion)) == 0)
        return "same version as text, copied again";
    return source + " compares higher than " + installed + " as text" +
           (asNumbers < 0 ? ", though as numbers it is lower" : "");
}

std::string PromptReason(const ItemRecord& record)
{
    switch (record.prompt) {
    case PromptSourceIsFolder: return "a folder: the updater cannot open it as a file";
    case PromptSourceUnreadable: return SystemErrorText("the updater cannot open it", record.error);
    case PromptFolderIsFile: return "its target's folder \"" + Utf8(record.path) + "\" is a file";
    case PromptTargetIsFolder: return "its target is a folder, which the updater cannot replace";
    case PromptTargetReadOnly: return "its target is read-only, which the updater cannot replace";
    case PromptTargetHeld: return SystemErrorText("its target cannot be replaced now", record.error);
    case PromptTargetUnreadable:
        return SystemErrorText("its installed copy cannot be read to compare versions", record.error);
    case PromptNone: break;
    }
    return std::string();
}

std::string VerdictReason(const ItemRecord& record)
{
    switch (record.verdict) {
    case VerdictRefused:
        return "the updater refuses it before its dialog, as " + std::string(RefusalReason(record.refusal)) +
               ": " + Utf8From932(TextOf(RefusalBox(record.Text())));
    case VerdictMissing: return "not in the update folder";
    case VerdictSameFile: return "its target is the shipped file itself: nothing to copy";
    case VerdictListedAgain: return "the same target is listed again later: only its last listing is applied";
    case VerdictPrompt:
        if (record.prompt == PromptTargetHeld)
            return PromptReason(record) + "; before writing anything the updater names the programs "
                                          "holding it and asks to close them (Retry, Cancel: Cancel "
                                          "ends the run with nothing written); held later, it asks "
                                          "(Abort, Retry, Ignore)";
        return PromptReason(record) + "; the updater asks (Abort, Retry, Ignore): Ignore skips it, "
                                      "Abort ends the run in its error box";
    case VerdictStop:
        return "the updater stops here with its error box: " + Utf8(record.stopMessage);
    case VerdictSkip:
    case VerdictApply: break;
    }
    return DecisionReason(record.decision, record.target);
}

std::string ItemTurnLine(size_t number, const ItemRecord& record, const std::wstring& source)
{
    const std::string line = "item " + std::to_string(number) + " \"" + LogText932(record.Text()) +
                             "\": source " + LogText(source) + ", target " + LogText(record.target) + ": ";
    const std::string facts = DecisionFacts(record.decision);
    const std::string decided = (facts.empty() ? "" : facts + ": ") + VerdictReason(record);
    switch (record.verdict) {
    case VerdictApply: return line + "to be copied (" + std::to_string(record.size) + " bytes): " + decided;
    case VerdictSkip: return line + "skipped: " + decided + ", kept";
    case VerdictMissing:
    case VerdictListedAgain: return line + "skipped, " + VerdictReason(record);
    case VerdictRefused: return line + "refused: " + VerdictReason(record);
    default: return line + VerdictReason(record);
    }
}

std::string RoomWords(const VolumeRoom& room)
{
    return "the copies need " + std::to_string(room.needed) + " bytes on " + Utf8(room.volume) + ", which has " +
           std::to_string(room.free) + " free: before writing anything the updater asks for room (Retry, "
           "Cancel: Cancel ends the run with nothing written)";
}
