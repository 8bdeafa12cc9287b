#include "updtool/commands/commands.h"

#include <windows.h>
#include "system/run_log.h"
#include "paths/wide_paths.h"
#include "update/run_walk.h"
#include "updtool/signing/manifest_report.h"
#include "updtool/console/command_report.h"
#include "update/item_words.h"
#include "base/shown_text.h"
#include "updtool/folders/item_location.h"
#include "updtool/folders/update_folder.h"
#include "updtool/folders/working_folder.h"

const char* const planUsage =
    "usage: updtool plan [DIR] [--dest INSTALL_DIR] [--keys KEYS] [--json]\n"
    "Shows what the updater started in DIR (default: the current folder) would\n"
    "do, changing nothing: the destination, then each item's target and action\n"
    "(applied, skipped, missing, asked about with Abort, Retry, Ignore, or\n"
    "where the run stops), the shipped and installed version texts and why;\n"
    "and how the run ends, and how updater.exe /silent would end (its exit\n"
    "code). It decides with the updater's own code, item by item, the\n"
    "destination taken as confirmed (--dest plays /dir=). With update.manifest,\n"
    "or keys, the signed checks too: their refusal is the run's end (JSON:\n"
    "signed).\n"
    "\n"
    "  --dest INSTALL_DIR   the destination the user would confirm; without it,\n"
    "                       the one the updater finds in the registry\n"
    "                       (HKLM\\SOFTWARE\\<Brand>\\<Name>, value execute) or its\n"
    "                       fallback, with the notice it would show\n"
    KEYS_OPTION_USAGE
    "  --json               one JSON document: destination, destinationFrom\n"
    "                       (given, registry, program-files), notice, log (where\n"
    "                       a run started now by this user with /log keeps its\n"
    "                       record), outcome (completes, prompts, nothing, room,\n"
    "                       error, silent), stops, stop (item and message, or\n"
    "                       null), allOrNothing, appliedBytes, shortRooms[]\n"
    "                       (volume, neededBytes, freeBytes), items[] (item,\n"
    "                       target, kind, action, sourceVersion, targetVersion,\n"
    "                       reason), silentExitCode (0, 1618, 1603), silentEnd\n"
    "\n"
    "Exit codes: 0 the updater applies what it should and reports the end;\n"
    "1 it would end in its error box, ask the user, apply nothing, or end\n"
    "silently; 2 bad usage, or no settings or destination to plan with.\n";

namespace {

enum PlanOutcome {
    OutcomeCompletes,  // every item done, the completion box
    OutcomePrompts,    // the user is asked at least once
    OutcomeNothing,    // nothing applied, and still the completion box
    OutcomeRoom,       // before any write, the box that asks for room
    OutcomeError,      // the error box
    OutcomeSilent,     // the run ends at once without a word
};

// The document's words for the run's end, by PlanOutcome, and for what the
// updater does with an item, by ItemVerdict (a refused item ends the run
// before any step: "not reached").
const char* const outcomeNames[] = {"completes", "prompts", "nothing", "room", "error", "silent"};
const char* const actionNames[] = {"not reached", "missing", "skip", "skip",
                                   "prompt",      "apply",   "stop", "skip"};
static_assert(sizeof actionNames / sizeof *actionNames == VerdictListedAgain + 1, "a name per verdict");
static_assert(sizeof outcomeNames / sizeof *outcomeNames == OutcomeSilent + 1, "a name per outcome");

class Destination {
public:
    std::wstring path;
    std::string from;    // "given", "registry", "program-files"
    std::string origin;  // in words (UTF-8)
    std::string notice;  // the notice box's text (code page 932), when shown

    virtual ~Destination() {}
};

// What plan tells of the walk: how the run ends, and which items it reaches.
class Plan {
public:
    const RunWalk& walk;
    bool decided;             // the walk went past the dialog
    PlanOutcome outcome = OutcomeCompletes;
    std::string stopMessage;  // OutcomeError: the box's message; OutcomeSilent: why
    int stoppedAt = -1;       // the item the run ends at; -1 before any
    bool afterDialog = false; // stoppedAt -1: after the dialog, before the first item
    size_t appliedItems = 0;
    uint64_t appliedBytes = 0;
    bool held = false;        // a running program holds a target to apply

    Plan(const RunWalk& walk, bool decided) : walk(walk), decided(decided)
    {
        const RunEnd& end = walk.end;
        if (end.kind == EndSilent) {
            outcome = OutcomeSilent;
            stopMessage = "Name " + Quoted(walk.settings.name) +
                          " cannot name the instance event (error " + std::to_string(end.code) + ")";
        } else if (end.kind == EndErrorBox) {
            outcome = OutcomeError;
            stopMessage = Utf8(end.message);
            stoppedAt = end.stage == StageItems ? end.item : -1;
            afterDialog = end.stage > StageDialog;
        }
        bool asked = false;
        for (size_t i = 0; i < walk.items.size(); ++i) {
            const ItemRecord& record = walk.items[i];
            if (!Reached(i))
                continue;
            asked = asked || record.verdict == VerdictPrompt;
            held = held || (record.verdict == VerdictPrompt && record.prompt == PromptTargetHeld);
            if (record.verdict == VerdictApply) {
                ++appliedItems;
                appliedBytes += record.size;
            }
        }
        if (outcome == OutcomeCompletes)
            outcome = held || (asked && walk.shortRooms.empty()) ? OutcomePrompts
                      : !walk.shortRooms.empty()                  ? OutcomeRoom
                      : appliedItems                              ? OutcomeCompletes
                                                                  : OutcomeNothing;
    }
    virtual ~Plan() {}

    bool Reached(size_t item) const
    {
        return decided && (stoppedAt >= 0 ? int(item) <= stoppedAt : walk.end.kind == EndGoesOn);
    }

    bool Stops() const { return outcome == OutcomeError || outcome == OutcomeSilent; }

    std::string NotReached() const
    {
        if (stoppedAt < 0)
            return std::string("not reached: the run ends ") +
                   (afterDialog ? "before its first item" : "before its dialog");
        return "not reached: the updater stopped at " + Quoted(walk.items[size_t(stoppedAt)].item);
    }
};

std::string OutcomeText(const Plan& plan)
{
    const size_t applied = plan.appliedItems;
    const std::string count = Plural(applied, "item", "items");
    switch (plan.outcome) {
    case OutcomeCompletes:
        return "the updater applies " + count + " and reports the update as finished";
    case OutcomePrompts:
        return "the updater asks the user (Abort, Retry, Ignore) before it can finish";
    case OutcomeNothing:
        return "the updater applies nothing, and still reports the update as finished";
    case OutcomeRoom:
        return "the updater writes nothing yet: " + RoomWords(plan.walk.shortRooms.front());
    case OutcomeSilent:
        return "the updater ends at once, silently: " + plan.stopMessage;
    case OutcomeError:
        break;
    }
    const std::string box = "its error box: \"" + plan.stopMessage + "\"";
    if (plan.stoppedAt < 0)
        return std::string("the updater ends ") +
               (plan.afterDialog ? "after its dialog, before it writes anything," : "before its dialog") +
               " with " + box;
    std::string before;
    if (plan.walk.settings.allOrNothing && applied)
        before = " (all or nothing: every target is put back, nothing changes)";
    else if (applied)
        before = applied == 1 ? " (the item applied before it stays applied)"
                              : " (the " + count + " applied before it stay applied)";
    return "the updater stops at " + Quoted(plan.walk.items[size_t(plan.stoppedAt)].item) + " with " +
           box + before;
}

// How updater.exe /silent ends: no dialog (the destination the registry
// records, or /dir=, which --dest plays), every question answered as its
// safe choice. The exit code and why.
std::pair<int, std::string> SilentEnd(const Plan& plan, const Destination& destination)
{
    const int finished = kExitFinished, busy = kExitBusy, failed = kExitFailed;
    if (plan.outcome == OutcomeSilent)
        return {failed, "the instance event cannot be made"};
    if (!plan.decided || (plan.outcome == OutcomeError && plan.stoppedAt < 0 && !plan.afterDialog))
        return {failed, "its error box, before the dialog it does not show"};
    if (destination.from == "program-files")
        return {failed, "the registry records no install folder and /dir= is not given: nothing is written"};
    if (plan.outcome == OutcomeError && plan.stoppedAt < 0)
        return {failed, "its error box, before anything is written"};
    if (plan.held)
        return {busy, "a running program holds a target: nothing is written (a deployment tool tries again later)"};
    if (!plan.walk.shortRooms.empty())
        return {failed, "not enough room: nothing is written"};
    if (plan.outcome == OutcomeError)
        return {failed, "its error box at " + Quoted(plan.walk.items[size_t(plan.stoppedAt)].item)};
    if (plan.outcome == OutcomePrompts)
        return {failed, "the first open prompt, answered Abort"};
    return {finished, "finished"};
}

std::string PlanReason(const ItemRecord& record)
{
    ItemLocation where;
    LocateRecord(record, where);
    return ItemReason(record, where);
}

// A version text, shown where the item's kind has versions and it was read.
ReportCell VersionCell(const char* key, const ItemRecord& record, const String& version)
{
    const bool versioned = record.decision.kind != ItemPlain && record.verdict != VerdictMissing;
    return ReportCell(key, ReportValue::Text(Utf8From932(TextOf(version))),
                      versioned && !version.IsEmpty() ? ShownName(TextOf(version)) : "-");
}

// The document in the order it reads: the destination, the record, the
// mode, the items, how the run ends.
void Render(const Destination& destination, const Plan& plan, Report& report)
{
    // Each item's target is the destination, a backslash and the item.
    report.Field("destination", ReportValue::Text(Utf8(destination.path)),
                 "destination: " + (destination.path.empty() ? "-" : Utf8(destination.path)) +
                     " (" + destination.origin + ")");
    report.Field("destinationFrom", ReportValue::Text(destination.from), "");
    report.Field("notice", ReportValue::Text(Utf8From932(destination.notice)),
                 destination.notice.empty()
                     ? ""
                     : "notice: the updater would first show " + Quoted(destination.notice));
    const std::wstring record = NextRunLogPath(RunLogFolder());
    report.Field("log", ReportValue::Text(Utf8(record)),
                 "record: none unless asked; updater.exe /log started now by this user writes its "
                 "record of the run to " +
                     (record.empty() ? std::string("no file (no temporary folder)") : Utf8(record)) +
                     "; /log=PATH writes it to PATH, and /silent always writes one");
    const bool allOrNothing = plan.walk.settings.allOrNothing;
    report.Field("allOrNothing", ReportValue::Flag(allOrNothing),
                 allOrNothing
                     ? "mode: all or nothing (AllOrNothing=1): every copy is written beside its "
                       "target first, " + std::to_string(plan.appliedBytes) + " bytes, then all "
                       "are put in place, or none"
                     : "mode: item by item: each item is put in place as it is copied");
    report.Field("appliedBytes", ReportValue::Number(int64_t(plan.appliedBytes)), "");
    const std::vector<ItemRecord>& items = plan.walk.items;
    report.Begin("items", true, items.empty() ? "items: none" : "items:");
    if (!items.empty())
        report.Row({ReportCell("action"), ReportCell("item"), ReportCell("kind"),
                    ReportCell("source"), ReportCell("installed"), ReportCell("reason")});
    for (size_t i = 0; i < items.size(); ++i) {
        const ItemRecord& record = items[i];
        const bool reached = plan.Reached(i);
        const UpdateDecision& decision = record.decision;
        const std::string action = actionNames[reached ? record.verdict : VerdictRefused];
        const std::string kind = KindName(decision.kind);
        report.Row({ReportCell(action), QuotedCell("item", record.Text()),
                    ReportCell("target", ReportValue::Text(Utf8(record.target))),
                    PlainCell("kind", kind), ReportCell("action", ReportValue::Text(action)),
                    VersionCell("sourceVersion", record, reached ? decision.sourceVersion : String()),
                    VersionCell("targetVersion", record, reached ? decision.targetVersion : String()),
                    PlainCell("reason", reached ? PlanReason(record) : plan.NotReached())});
    }
    report.End();
    report.Begin("shortRooms", true, "");
    for (const VolumeRoom& room : plan.walk.shortRooms)
        report.Row({ReportCell("volume", ReportValue::Text(Utf8(room.volume))),
                    ReportCell("neededBytes", ReportValue::Number(int64_t(room.needed))),
                    ReportCell("freeBytes", ReportValue::Number(int64_t(room.free)))});
    report.End();
    report.Field("outcome", ReportValue::Text(outcomeNames[plan.outcome]),
                 "outcome: " + OutcomeText(plan));
    report.Field("stops", ReportValue::Flag(plan.Stops()), "");
    if (!plan.Stops()) {
        report.Field("stop", ReportValue::Null(), "");
    } else {
        const bool atItem = plan.outcome == OutcomeError && plan.stoppedAt >= 0;
        report.Begin("stop", false, "");
        report.Row({ReportCell("item", ReportValue::Text(atItem ? Utf8From932(items[size_t(plan.stoppedAt)].Text())
                                                                 : std::string())),
                    ReportCell("message", ReportValue::Text(plan.stopMessage))});
        report.End();
    }
    const std::pair<int, std::string> silent = SilentEnd(plan, destination);
    report.Field("silentExitCode", ReportValue::Number(silent.first),
                 "silent: updater.exe /silent would end with exit code " + std::to_string(silent.first) + ": " +
                     silent.second);
    report.Field("silentEnd", ReportValue::Text(silent.second), "");
}

}  // namespace

const OptionSpecs planOptions = {{"--json", false}, {"--dest", true}, {"--keys", true}};

int RunPlan(const CommandLine& line)
{
    if (line.positional.size() > 1)
        return UsageError("plan", "too many arguments: one folder at most");
    const std::wstring dir = line.positional.empty() ? L"" : PathArgument(line.positional[0]);
    // A relative --dest means what it means where the command was given.
    const std::wstring* given = line.Value("--dest");
    Destination destination;
    if (given) {
        destination.path = FullPath(PathArgument(*given));
        destination.from = destination.origin = "given";
        if (destination.path.empty())
            return UsageError("plan", "--dest needs a folder");
    }

    GivenKeys keys;
    if (int code = keys.Take("plan", line))
        return code;
    WorkingFolder working;
    if (!working.Enter(dir))
        throw ToolError("cannot enter the folder " + Shown(dir));
    UpdateFolder folder;
    folder.Read();
    UpdateSettings settings;
    RunWalk walk(RunPlans, settings);
    const bool reachesDialog = walk.BeforeDialog(keys.ForWalk());
    const bool readFails = walk.end.kind == EndErrorBox && walk.end.stage == StageSettings;
    if (!folder.Found() && !readFails)
        throw ToolError("cannot read update.ini in " + Shown(CurrentFolder()) +
                        ": neither a file there nor an entry of its archives");
    if (!reachesDialog) {
        if (!given)
            destination.origin = "not asked: the run ends before its dialog";
    } else {
        if (!given) {
            // The destination the updater proposes, as it finds it.
            destination.path = walk.installFolder;
            const std::string entry = "HKLM\\SOFTWARE\\" + ShownName(TextOf(settings.brand)) +
                                      "\\" + ShownName(TextOf(settings.name)) + ", value execute";
            destination.from = walk.notice.IsEmpty() ? "registry" : "program-files";
            destination.origin = walk.notice.IsEmpty()
                                     ? "from " + entry
                                     : "the program-files folder: " + entry + ", gives none";
            destination.notice = TextOf(walk.notice);
        }
        if (destination.path.empty())
            throw ToolError("no destination: neither the product's registry entry nor the "
                            "program-files folder gives one; give one with --dest");
        walk.AfterDialog(destination.path);
    }
    const Plan plan(walk, reachesDialog);
    Report report(line.json);
    RenderSigned(walk, keys, report);
    Render(destination, plan, report);
    report.Write();
    return plan.outcome == OutcomeCompletes ? ExitOk : ExitProblems;
}
