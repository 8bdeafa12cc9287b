#include "updtool/commands/commands.h"

#include <windows.h>
#include "base/messages.h"
#include "pak/archive_file.h"
#include "pak/archive_header.h"
#include "paths/wide_paths.h"
#include "updtool/folders/item_location.h"
#include "updtool/signing/manifest_report.h"
#include "updtool/console/command_report.h"
#include "update/item_words.h"
#include "updtool/folders/settings_lint.h"
#include "base/shown_text.h"
#include "updtool/folders/update_folder.h"
#include "update/run_walk.h"
#include "updtool/folders/working_folder.h"

const char* const checkUsage =
    "usage: updtool check [DIR] [--keys KEYS] [--json]\n"
    "Reads DIR's update.ini (default: the current folder), plain or from an\n"
    "archive there, as the updater does, and prints the settings it sees\n"
    "(defaults marked), then each item: found as a file, only inside an archive\n"
    "(the updater skips it) or missing; its kind and version text.\n"
    "\n"
    "Errors: no settings file, or one saved as UTF-8 or unreadable; a Name that\n"
    "cannot name the instance event; no items; items the updater refuses (a\n"
    "\"..\" part, a rooted path, ':', a device name); a listed folder; a damaged\n"
    "archive; with AllOrNothing=1, too little room beside the install folder\n"
    "for the applied items' copies. Warnings: lines read otherwise than they\n"
    "look; Brand, Name, Title or Version left to the defaults; empty, duplicate\n"
    "or skipped items; executables without FileVersion; targets the updater\n"
    "would ask about; archives of format 0 or 1; names the archive lookup\n"
    "resolves to a longer entry. With update.manifest, or keys: the manifest,\n"
    "whether update.sig verifies, and the updater's first refusal, an error.\n"
    "\n"
    KEYS_OPTION_USAGE
    "  --json   one JSON document: settings (Brand, Name, Title, Version, file,\n"
    "           AllOrNothing), defaults[], allOrNothing (installFolder,\n"
    "           neededBytes, freeBytes; or null), items[] (item, kind, found,\n"
    "           version), problems[] (severity, message), signed (with a\n"
    "           manifest or keys: manifest, product, version, sequence, expires,\n"
    "           items, keys, signature, refused, message, code)\n"
    "\n"
    "Exit codes: 0 no errors (warnings may be printed), 1 errors found,\n"
    "2 bad usage or a folder that cannot be entered.\n";

namespace {

// The format version of the archive file at path, 2 when unreadable (no
// warning then: the revision text says what can be said).
uint32_t ArchiveFormat(const char* path)
{
    ArchiveFile file;
    if (!file.Open(path, ModeRead))
        return 2;
    ArchiveHeader header;
    header.Read(file);
    return header.version;
}

void CheckSettingsSource(const UpdateFolder& folder, const RunWalk& walk, Problems& problems)
{
    String promptText;
    promptText.Format(kOpenFailedText, settingsFileName);
    const std::string prompt = Quoted(std::string(TextOf(promptText)));
    const ItemLocation& at = folder.settingsAt;
    const std::string failure = SettingsFailure(walk);
    if (!folder.Found() && failure.empty()) {
        problems.Error(std::string(at.found == FoundFolder
                                       ? "update.ini is a folder, which cannot be read"
                                       : "no settings file: update.ini is neither a file in the "
                                         "folder nor an entry of its archives") +
                       "; the updater would show the open prompt " + prompt +
                       " five times (Ignore runs it with the defaults and no items)");
    }
    if (at.longerName)
        problems.Warning("update.ini is read from the entry " + Quoted(at.entry) + " of " +
                         at.archive + ": the archive lookup takes the first entry "
                         "whose name begins with the name");
    if (!failure.empty())
        problems.Error("reading update.ini fails with \"" + failure + "\"" +
                       ": the updater would show its error box and end");
}

// The document's words for where an item is found, by ItemFound.
const char* const foundNames[] = {"file", "folder", "archive", "missing"};

// Problems of the list itself, before any item's decision is looked at.
void CheckList(const UpdateFolder& folder, const RunWalk& walk, Problems& problems)
{
    if (walk.items.empty()) {
        problems.Error("no items: the key file is missing or lists nothing; the updater would "
                       "copy nothing and still report the update as finished");
        return;
    }
    if (std::string(TextOf(folder.fileList)).find(";;") != std::string::npos)
        problems.Warning("file " + Quoted(folder.fileList) + " holds an empty item (\";;\"): it is "
                         "left out");
    for (const ItemRecord& record : walk.items) {
        const std::string item = record.Text();
        const std::string shown = Quoted(record.item);
        if (item.find_first_not_of(' ') == std::string::npos) {
            problems.Warning("item " + shown + " is blank");
            continue;
        }
        if (item.front() == ' ' || item.back() == ' ')
            problems.Warning("item " + shown + " begins or ends with a space, which belongs to the "
                             "name (nothing is trimmed beside \";\")");
        if (record.listedAgain)
            problems.Warning("item " + shown + " names the same target as a later item: the "
                             "updater applies only the last listing");
        if (record.refusal != ItemAccepted)
            problems.Error("item " + shown + " is refused by the updater, as " +
                           RefusalReason(record.refusal) + ": it ends with its error box " +
                           Quoted(RefusalBox(record.Text())) + " before its dialog, and copies nothing");
    }
}

// What the item's decision says: where the shipped item is found, its
// versions, and where the run would go.
void CheckItem(const ItemRecord& record, const ItemLocation& where, Problems& problems)
{
    const std::string item = "item " + Quoted(record.item);
    if (record.verdict == VerdictMissing) {
        if (where.found != FoundArchive)
            problems.Warning(item + " is not in the folder: the updater skips it");
        else
            problems.Warning(item + " is not a file in the folder, only an entry of " +
                             where.archive + ": the updater skips it");
        if (where.longerName)
            problems.Warning(item + ": the archive lookup resolves it to the longer name " +
                             Quoted(where.entry) + " of " + where.archive);
        return;
    }
    if (where.found == FoundFolder)
        problems.Error(item + " is a folder: the updater tries to copy it as a file and shows "
                       "the open prompt");
    if (where.found != FoundFile)
        return;
    const std::string reason = ItemReason(record, where);
    if (record.prompt == PromptSourceUnreadable)
        problems.Error(item + ": " + reason);
    if (record.decision.kind == ItemExecutable && record.decision.sourceVersion.IsEmpty())
        problems.Warning(item + " has no FileVersion: the updater copies it only where the "
                         "installed copy has none");
    const uint32_t format = record.decision.kind == ItemArchive ? ArchiveFormat(record.Text()) : 2;
    if (format != 2)
        problems.Warning(item + " is an archive of format " + std::to_string(format) +
                         ": its revision reads as \"0\", so it replaces only an installed copy "
                         "whose revision text is \"0\" or sorts lower");
    if (record.verdict == VerdictStop)
        problems.Error(item + ": " + reason);
    else if (record.verdict == VerdictPrompt && record.prompt != PromptSourceUnreadable)
        problems.Warning(item + " at " + Utf8(record.target) + ": " + reason);
}

// The bytes the copies of an all-or-nothing run take beside the install
// folder: every item whose decision passes.
uint64_t NeededBytes(const RunWalk& walk)
{
    uint64_t needed = 0;
    for (const ItemRecord& record : walk.items)
        if (record.verdict == VerdictApply)
            needed += record.size;
    return needed;
}

// The room the update's copies take in the install folder the updater
// proposes, as the updater counts it before its first write.
void MeasureRoom(const UpdateFolder& folder, const RunWalk& walk, Problems& problems)
{
    if (!folder.allOrNothing.IsEmpty() && !walk.settings.allOrNothing)
        problems.Warning("AllOrNothing " + Quoted(folder.allOrNothing) + " is not \"1\": the "
                         "updater updates item by item");
    for (const VolumeRoom& room : walk.shortRooms)
        problems.Error(RoomWords(room));
}

// The keys that name and title the run: left out, the updater runs as
// "Quillmark"'s "Installer" and looks for that product's install folder. And
// what creating the instance event gave the walk's stage before the dialog.
void CheckNaming(const UpdateFolder& folder, const RunWalk& walk, Problems& problems)
{
    std::string keys, values;
    for (const SettingView& view : folder.Views(walk.settings)) {
        if (!view.isDefault || std::string(view.key) == "file" || std::string(view.key) == "AllOrNothing")
            continue;
        keys += (keys.empty() ? "" : ", ") + std::string(view.key);
        values += (values.empty() ? "" : ", ") + std::string(view.key) + " " + Quoted(view.value);
    }
    // Without a settings file, that every key is left out goes without saying.
    if (!keys.empty() && folder.Found())
        problems.Warning(keys + (keys.find(',') == std::string::npos ? " is" : " are") +
                         " not read from [update]: the updater uses its defaults (" + values + ")");
    const std::string name = Quoted(walk.settings.name);
    if (walk.eventError == ERROR_ALREADY_EXISTS)
        problems.Warning("an object named " + name + " exists now (an updater running?): a start "
                         "now would end at once, silently");
    else if (walk.eventError)
        problems.Error("Name " + name + " cannot name the instance event (creating it fails with "
                       "error " + std::to_string(walk.eventError) +
                       "): the updater would end at once, silently, without updating");
}

// Each setting a plain text, as the updater sees it; the keys that kept
// their defaults listed beside.
void Settings(const std::vector<SettingView>& views, size_t items, Report& report)
{
    report.Begin("settings", false, "settings:");
    for (const SettingView& view : views) {
        std::string shown = Quoted(view.value);
        // A long list reads better as the items table below.
        if (std::string(view.key) == "file" && shown.size() > 60)
            shown = std::to_string(items) + " items, listed under items";
        report.Row({ReportCell(view.key),
                    ReportCell(view.key, ReportValue::Text(Utf8From932(TextOf(view.value))),
                               shown + (view.isDefault ? " (default)" : ""))});
    }
    report.End();
    report.Begin("defaults", true, "");
    for (const SettingView& view : views)
        if (view.isDefault)
            report.Row({ReportCell(nullptr, ReportValue::Text(view.key))});
    report.End();
}

// The document in the order it reads: where update.ini comes from, the
// settings, the room an all-or-nothing run needs, the items, the problems.
void Render(const UpdateFolder& folder, const RunWalk& walk, const std::vector<ItemLocation>& places,
            const Problems& problems, Report& report)
{
    const std::string where = " in " + Utf8(CurrentFolder());
    const ItemLocation& at = folder.settingsAt;
    report.Line(at.found == FoundFile      ? "update.ini: a file" + where
                : at.found == FoundArchive ? "update.ini: the entry " + Quoted(at.entry) + " of " +
                                                 at.archive + where
                                           : "update.ini: not found" + where);
    Settings(folder.Views(walk.settings), walk.items.size(), report);

    const uint64_t free = walk.FreeBytes(), needed = NeededBytes(walk);
    const bool known = free != UINT64_MAX;
    if (!walk.settings.allOrNothing) {
        report.Field("allOrNothing", ReportValue::Null(), "");
    } else {
        report.Line("all or nothing: the update needs " + std::to_string(needed) +
                    " bytes beside the install folder " + Utf8(walk.installFolder) +
                    " (the applied items' copies, kept until the last is in place)" +
                    (known ? "; its disk has " + std::to_string(free) + " free" : ""));
        report.Begin("allOrNothing", false, "");
        report.Row({ReportCell("installFolder", ReportValue::Text(Utf8(walk.installFolder))),
                    ReportCell("neededBytes", ReportValue::Number(int64_t(needed))),
                    ReportCell("freeBytes", known ? ReportValue::Number(int64_t(free))
                                                  : ReportValue::Null())});
        report.End();
    }

    report.Begin("items", true, walk.items.empty() ? "" : "items:");
    for (size_t i = 0; i < walk.items.size(); ++i) {
        const ItemRecord& record = walk.items[i];
        const ItemLocation& place = places[i];
        const std::string note =
            place.found == FoundArchive ? "in " + place.archive + " as " + Quoted(place.entry) : "";
        // The shipped copy's version text, when the item is a file the updater takes.
        const String version = place.found == FoundFile ? record.decision.sourceVersion : String();
        const std::string found = foundNames[place.found];
        const std::string kind = KindName(record.decision.kind);
        report.Row({QuotedCell("item", record.Text()),
                    ReportCell("kind", ReportValue::Text(kind)), ReportCell(found),
                    ReportCell(kind), ReportCell("found", ReportValue::Text(found)),
                    QuotedCell("version", TextOf(version)), ReportCell(note)});
    }
    report.End();

    report.Begin("problems", true, problems.found.empty() ? "" : "problems:", LayoutLines);
    for (const Problem& problem : problems.found)
        report.Row({ReportCell("severity", ReportValue::Text(SeverityName(problem.severity)),
                               SeverityName(problem.severity) + std::string(":")),
                    PlainCell("message", problem.message)});
    report.End();
    const size_t errors = problems.Count(SeverityError);
    const size_t warnings = problems.Count(SeverityWarning);
    report.Line(std::string(errors ? "check failed: " : "check passed: ") +
                Plural(errors, "error", "errors") + ", " + Plural(warnings, "warning", "warnings"));
}

}  // namespace

const OptionSpecs checkOptions = {{"--json", false}, {"--keys", true}};

int RunCheck(const CommandLine& line)
{
    if (line.positional.size() > 1)
        return UsageError("check", "too many arguments: one folder at most");
    const std::wstring dir = line.positional.empty() ? L"" : PathArgument(line.positional[0]);
    GivenKeys keys;
    if (int code = keys.Take("check", line))
        return code;
    WorkingFolder working;
    if (!working.Enter(dir))
        throw ToolError("cannot enter the folder " + Shown(dir));

    // The walk plan takes, against the install folder the updater proposes,
    // every item judged whatever ended the run.
    Problems problems;
    UpdateFolder folder;
    folder.Read();
    UpdateSettings settings;
    RunWalk walk(RunPlans, settings);
    walk.BeforeDialog(keys.ForWalk());
    CheckSettingsSource(folder, walk, problems);
    LintSettings(folder.bytes, problems);
    std::vector<ItemLocation> places(walk.items.size());
    if (SettingsFailure(walk).empty()) {
        walk.AfterDialog(walk.installFolder);
        CheckNaming(folder, walk, problems);
        // Without a settings file, that there are no items goes without saying.
        if (folder.Found())
            CheckList(folder, walk, problems);
        for (size_t i = 0; i < walk.items.size(); ++i) {
            LocateRecord(walk.items[i], places[i]);
            CheckItem(walk.items[i], places[i], problems);
        }
        MeasureRoom(folder, walk, problems);
    }
    AddSignedProblem(walk, problems);
    CheckArchives(problems);

    Report report(line.json);
    RenderSigned(walk, keys, report);
    Render(folder, walk, places, problems, report);
    report.Write();
    return problems.Count(SeverityError) ? ExitProblems : ExitOk;
}
