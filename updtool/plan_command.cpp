#include "updtool/commands.h"

#include <new>
#include <windows.h>
#include "base/exceptions.h"
#include "base/text_932.h"
#include "pak/archive_search.h"
#include "update/install_lookup.h"
#include "update/update_decision.h"
#include "updtool/command_line.h"
#include "updtool/instance_name.h"
#include "updtool/item_location.h"
#include "updtool/kind_name.h"
#include "updtool/report_text.h"
#include "updtool/tool_output.h"
#include "updtool/update_folder.h"
#include "updtool/version_order.h"
#include "updtool/working_folder.h"

const char* const planUsage =
    "usage: updtool plan [DIR] [--dest INSTALL_DIR] [--json]\n"
    "Shows what the updater started in DIR (default: the current folder) would\n"
    "do, changing nothing: the destination, then for each listed item whether\n"
    "it is applied, skipped or missing, with the version texts of the shipped\n"
    "and the installed copy and why. The updater reads and decides with the\n"
    "same code; the user is taken to confirm the proposed destination.\n"
    "\n"
    "  --dest INSTALL_DIR   the destination the user would confirm; without\n"
    "                       it, the one the updater finds in the registry\n"
    "                       (HKLM\\SOFTWARE\\<Brand>\\<Name>, value execute), or\n"
    "                       its fallback, with the notice it would show\n"
    "  --json               one JSON document: destination, items[] (item,\n"
    "                       kind, action, sourceVersion, targetVersion, reason)\n"
    "\n"
    "Exit codes: 0 planned, 2 bad usage, or no settings or destination to plan\n"
    "with.\n";

namespace {

enum Action { ActionApply, ActionSkip, ActionMissing };

const char* ActionName(Action action)
{
    switch (action) {
    case ActionApply: return "apply";
    case ActionSkip: return "skip";
    case ActionMissing: break;
    }
    return "missing";
}

class PlannedItem {
public:
    std::string item;  // UTF-8
    ItemKind kind;
    Action action;
    std::string sourceVersion, targetVersion, reason;  // UTF-8

    PlannedItem() : kind(ItemPlain), action(ActionSkip) {}
    virtual ~PlannedItem() {}
};

// Why DecideUpdate decided as it did, in the publisher's words.
std::string Reason(const UpdateDecision& decision, const char* target)
{
    if (decision.kind == ItemPlain)
        return "plain file, always copied";
    const bool executable = decision.kind == ItemExecutable;
    const std::string source = Utf8FromAnsi(TextOf(decision.sourceVersion));
    const std::string installed = Utf8FromAnsi(TextOf(decision.targetVersion));
    if (decision.targetVersion.IsEmpty()) {
        if (GetFileAttributesA(target) == INVALID_FILE_ATTRIBUTES)
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
    String text(decision.sourceVersion);
    if (text.CompareNoCase(b) == 0)
        return "same version as text, copied again";
    return source + " compares higher than " + installed + " as text" +
           (asNumbers < 0 ? ", though as numbers it is lower" : "");
}

// One item, as the updater's loop takes it. stop: the text of a failure that
// ends the updater's run here (later items are not reached).
void PlanItem(const String& listed, const String& destination, PlannedItem& planned,
              std::string& stop)
{
    String source;
    source.Format("%s", TextOf(listed));
    planned.item = Utf8FromAnsi(TextOf(source));
    planned.kind = KindOfItem(TextOf(source));
    if (!PathExists(source.text)) {
        ItemLocation where;
        LocateItem(TextOf(source), where);
        planned.action = ActionMissing;
        planned.reason = where.found == FoundArchive
                             ? "not a file in the update folder (only inside an archive: \"" +
                                   where.entry + "\" in " + where.archive + ")"
                             : std::string("not in the update folder");
        return;
    }
    String target;
    target.Format("%s\\%s", TextOf(destination), TextOf(source));
    if (GetFileAttributesA(source.text) & FILE_ATTRIBUTE_DIRECTORY) {
        planned.action = ActionSkip;
        planned.reason = "a folder: the updater tries to copy it as a file and shows the open "
                         "prompt";
        return;
    }
    UpdateDecision decision;
    try {
        DecideUpdate(source.text, WideFrom932(target), decision);
    } catch (const OCErrorException& failure) {
        stop = Utf8FromAnsi(TextOf(failure.message));
        planned.action = ActionSkip;
        planned.reason = "the updater stops here with its error box: " + stop;
        return;
    }
    planned.action = decision.apply ? ActionApply : ActionSkip;
    planned.sourceVersion = Utf8FromAnsi(TextOf(decision.sourceVersion));
    planned.targetVersion = Utf8FromAnsi(TextOf(decision.targetVersion));
    planned.reason = Reason(decision, target.text);
}

void PrintHuman(const std::string& destination, const std::string& origin,
                const std::string& notice, const std::vector<PlannedItem>& items)
{
    std::string out = "destination: " + destination + " (" + origin + ")\n";
    if (!notice.empty())
        out += "notice: " + notice + "\n";
    if (items.empty()) {
        out += "items: none\n";
    } else {
        out += "items:\n";
        TextTable table;
        table.Add({"action", "item", "kind", "source", "installed", "reason"});
        for (const PlannedItem& planned : items) {
            const bool versioned = planned.kind != ItemPlain && planned.action != ActionMissing;
            table.Add({ActionName(planned.action), Quoted(planned.item), KindName(planned.kind),
                       versioned && !planned.sourceVersion.empty() ? planned.sourceVersion : "-",
                       versioned && !planned.targetVersion.empty() ? planned.targetVersion : "-",
                       planned.reason});
        }
        out += table.Text(2);
    }
    WriteOut(out);
}

void PrintJson(const std::string& destination, const std::vector<PlannedItem>& items)
{
    JsonWriter json;
    json.BeginObject();
    json.Key("destination");
    json.Text(destination);
    json.Key("items");
    json.BeginArray();
    for (const PlannedItem& planned : items) {
        json.BeginObject();
        json.Key("item");
        json.Text(planned.item);
        json.Key("kind");
        json.Text(KindName(planned.kind));
        json.Key("action");
        json.Text(ActionName(planned.action));
        json.Key("sourceVersion");
        json.Text(planned.sourceVersion);
        json.Key("targetVersion");
        json.Text(planned.targetVersion);
        json.Key("reason");
        json.Text(planned.reason);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    WriteOut(json.Document());
}

int Plan(const CommandLine& line)
{
    const bool json = line.Has("--json");
    const std::string dir = line.positional.empty() ? "" : PathArgument(line.positional[0]);
    // A relative --dest means what it means where the command was given.
    const std::string* given = line.Value("--dest");
    const std::string dest = given ? FullPath(PathArgument(*given)) : std::string();
    if (given && dest.empty())
        return UsageError("plan", "--dest needs a folder");

    WorkingFolder working;
    if (!working.Enter(dir))
        return Fail("plan", "cannot enter the folder '" + Utf8FromAnsi(dir) + "'");
    UpdateFolder folder;
    if (!folder.Read())
        return Fail("plan", "cannot read update.ini: \"" + folder.readFailure + "\"");
    if (folder.source == SettingsMissing)
        return Fail("plan", "cannot read update.ini in '" + Utf8FromAnsi(working.Path()) +
                                "': neither a file there nor an entry of its archives");
    const UpdateSettings& settings = folder.settings;

    String destination;
    std::string origin = "given", shownNotice;
    if (given) {
        destination.Assign(dest.c_str());
    } else {
        String notice;
        std::wstring found;
        LocateInstallDirectory(settings, found, notice);
        ShownIn932(found, destination);
        const std::string entry = "HKLM\\SOFTWARE\\" + Utf8FromAnsi(TextOf(settings.brand)) +
                                  "\\" + Utf8FromAnsi(TextOf(settings.name)) + ", value execute";
        origin = "from " + entry;
        if (!notice.IsEmpty()) {
            origin = "the program-files folder: " + entry + ", gives none";
            shownNotice = "the updater would first show " + Quoted(notice);
            if (json)
                WriteErr("updtool plan: " + shownNotice + "\n");
        }
    }
    if (destination.IsEmpty())
        return Fail("plan", "no destination: neither the product's registry entry nor the "
                            "program-files folder gives one; give one with --dest");

    InstanceNameProbe probe;
    probe.Probe(TextOf(settings.name));
    std::string stop;
    if (!probe.created)
        stop = "Name " + Quoted(settings.name) + " cannot name the instance event (error " +
               std::to_string(probe.error) + "): the updater ends at once, silently";
    else if (probe.running)
        WriteErr("updtool plan: an object named " + Quoted(settings.name) +
                 " exists now (an updater running?): a start now would end at once\n");

    std::vector<PlannedItem> items(settings.files.size());
    std::string stoppedAt;
    for (size_t i = 0; i < items.size(); ++i) {
        if (!stop.empty()) {
            items[i].item = Utf8FromAnsi(TextOf(settings.files[i]));
            items[i].kind = KindOfItem(TextOf(settings.files[i]));
            items[i].action = ActionSkip;
            items[i].reason = stoppedAt.empty() ? stop : "not reached: the updater stopped at " +
                                                             stoppedAt;
            continue;
        }
        PlanItem(settings.files[i], destination, items[i], stop);
        if (!stop.empty())
            stoppedAt = Quoted(settings.files[i]);
    }

    const std::string shownDestination = Utf8FromAnsi(TextOf(destination));
    if (json)
        PrintJson(shownDestination, items);
    else
        PrintHuman(shownDestination, origin, shownNotice, items);
    return ExitOk;
}

}  // namespace

int RunPlan(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("plan", args, {OptionSpec("--json", false), OptionSpec("--dest", true)}))
        return ExitTrouble;
    if (line.positional.size() > 1)
        return UsageError("plan", "too many arguments: one folder at most");
    try {
        return Plan(line);
    } catch (const OCErrorException& failure) {
        return Fail("plan", Utf8FromAnsi(TextOf(failure.message)));
    } catch (const OCException& failure) {
        return Fail("plan", "failed with code " + std::to_string(failure.code));
    } catch (const DWORD& code) {
        return Fail("plan", "out of memory (code " + std::to_string(code) + ")");
    } catch (const std::bad_alloc&) {
        return Fail("plan", "out of memory");
    }
}
