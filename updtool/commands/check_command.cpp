#include "updtool/commands/commands.h"

#include <algorithm>
#include <windows.h>
#include "base/messages.h"
#include "base/text_932.h"
#include "pak/archive_file.h"
#include "pak/archive_header.h"
#include "update/item_rule.h"
#include "updtool/archives/folder_archives.h"
#include "updtool/console/command_line.h"
#include "updtool/folders/instance_name.h"
#include "updtool/folders/item_location.h"
#include "updtool/console/command_report.h"
#include "updtool/console/kind_name.h"
#include "updtool/console/problem.h"
#include "updtool/console/report_text.h"
#include "updtool/folders/settings_encoding.h"
#include "updtool/folders/settings_lint.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "update/install_lookup.h"
#include "updtool/folders/update_folder.h"
#include "updtool/commands/update_plan.h"
#include "updtool/folders/working_folder.h"

const char* const checkUsage =
    "usage: updtool check [DIR] [--json]\n"
    "Reads DIR's update.ini (default: the current folder), plain or from an\n"
    "archive there, exactly as the updater does, and prints the settings as the\n"
    "updater sees them (defaults marked), then each listed item: found as a\n"
    "file, only inside an archive (the updater skips it), or missing; its kind\n"
    "and version text.\n"
    "\n"
    "Errors: no settings file, one saved as UTF-8 (the updater reads code page\n"
    "932), one the updater cannot read, a Name that cannot name the instance\n"
    "event, no items, items the updater refuses (a \"..\" part, a rooted or\n"
    "absolute path, ':', a device name: it ends in its error box before its\n"
    "dialog), a listed folder, a damaged archive. Warnings: lines of\n"
    "update.ini the updater reads otherwise than they look, Brand, Name,\n"
    "Title or Version not read (the updater uses its defaults), empty or\n"
    "duplicate items, items it skips, executables without FileVersion,\n"
    "targets it would ask about in the install folder it proposes,\n"
    "archives of format 0 or 1 (revision \"0\"), names the archive lookup\n"
    "resolves to a longer entry name.\n"
    "\n"
    "With AllOrNothing=1, the room the update needs beside the install folder\n"
    "the updater proposes: the applied items' sizes, summed (an error when\n"
    "its disk has less free).\n"
    "\n"
    "  --json   one JSON document: settings (Brand, Name, Title, Version,\n"
    "           file, AllOrNothing, as texts), defaults[] (the keys left at\n"
    "           their default), allOrNothing (installFolder, neededBytes,\n"
    "           freeBytes; null without AllOrNothing=1),\n"
    "           items[] (item, kind, found, version), problems[] (severity,\n"
    "           message)\n"
    "\n"
    "Exit codes: 0 no errors (warnings may be printed), 1 errors found,\n"
    "2 bad usage or a folder that cannot be entered.\n";

namespace {

class CheckedItem {
public:
    const ItemStep* step;
    ItemLocation where;

    explicit CheckedItem(const ItemStep& step) : step(&step) {}
    virtual ~CheckedItem() {}
};

std::string Utf8Of(const String& text)
{
    return Utf8From932(TextOf(text));
}

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

void CheckSettingsSource(const UpdateFolder& folder, Problems& problems)
{
    String promptText;
    promptText.Format(kOpenFailedText, settingsFileName);
    const std::string prompt = Quoted(std::string(TextOf(promptText)));
    if (folder.source == SettingsMissing && folder.readFailure.empty()) {
        problems.Error(std::string(folder.settingsIsFolder
                                       ? "update.ini is a folder, which cannot be read"
                                       : "no settings file: update.ini is neither a file in the "
                                         "folder nor an entry of its archives") +
                       "; the updater would show the open prompt " + prompt +
                       " five times (Ignore runs it with the defaults and no items)");
    }
    if (folder.source == SettingsInArchive && folder.entryLonger)
        problems.Warning("update.ini is read from the entry " + Quoted(folder.entry) + " of " +
                         folder.archive + ": the archive lookup takes the first entry "
                         "whose name begins with the name");
    if (!folder.readFailure.empty())
        problems.Error("reading update.ini fails with \"" + folder.readFailure + "\"" +
                       ": the updater would show its error box and end");
    const std::string utf8 = Utf8Evidence(folder.bytes);
    if (!utf8.empty())
        problems.Error("update.ini is saved as UTF-8 (" + utf8 + "): the updater reads it as "
                       "code page 932 (Shift-JIS), so its non-ASCII texts read as other "
                       "characters; save it as Shift-JIS");
}

void CheckName(const String& name, Problems& problems)
{
    InstanceNameProbe probe;
    probe.Probe(TextOf(name));
    if (!probe.created)
        problems.Error("Name " + Quoted(name) + " cannot name the instance event (creating it "
                       "fails with error " + std::to_string(probe.error) +
                       "): the updater would end at once, silently, without updating");
    else if (probe.running)
        problems.Warning("an object named " + Quoted(name) + " exists now (an updater running?): "
                         "a start now would end at once, silently");
}

// Why the updater refuses an item, in words.
const char* RefusalText(ItemRefusal refusal)
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

// Problems of the list itself, before any item is looked at.
void CheckList(const String& list, const std::vector<String>& files, Problems& problems)
{
    const std::string text = TextOf(list);
    if (files.empty()) {
        problems.Error("no items: the key file is missing or lists nothing; the updater would "
                       "copy nothing and still report the update as finished");
        return;
    }
    if (text.find(";;") != std::string::npos)
        problems.Warning("file " + Quoted(list) + " holds an empty item (\";;\"): it is left out");
    const std::vector<bool> repeated = ListedAgainLater(files);
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string item = TextOf(files[i]);
        const std::string shown = Quoted(files[i]);
        if (item.find_first_not_of(' ') == std::string::npos) {
            problems.Warning("item " + shown + " is blank");
            continue;
        }
        if (item.front() == ' ' || item.back() == ' ')
            problems.Warning("item " + shown + " begins or ends with a space, which belongs to the "
                             "name (nothing is trimmed beside \";\")");
        if (repeated[i])
            problems.Warning("item " + shown + " names the same target as a later item: the "
                             "updater applies only the last listing");
        const ItemRefusal refusal = JudgeItem(item.c_str());
        if (refusal != ItemAccepted) {
            String message;
            message.Format(kRefusedItemText, item.c_str());
            problems.Error("item " + shown + " is refused by the updater, as " +
                           RefusalText(refusal) + ": it ends with its error box " +
                           Quoted(message) + " before its dialog, and copies nothing");
        }
    }
}

// What the item's step says about the shipped item, where it is found.
void CheckFound(CheckedItem& checked, const std::string& shown, Problems& problems)
{
    const ItemStep& step = *checked.step;
    if (step.verdict == VerdictMissing) {
        LocateItem(TextOf(step.item), checked.where);
        if (checked.where.found != FoundArchive) {
            problems.Warning("item " + shown + " is not in the folder: the updater skips it");
            return;
        }
        problems.Warning("item " + shown + " is not a file in the folder, only an entry of " +
                         checked.where.archive + ": the updater skips it");
        if (checked.where.longerName)
            problems.Warning("item " + shown + ": the archive lookup resolves it to the longer "
                             "name " + Quoted(checked.where.entry) + " of " + checked.where.archive);
        return;
    }
    checked.where.found = step.verdict == VerdictRefused ? FoundMissing
                          : step.prompt == PromptSourceIsFolder ? FoundFolder
                                                                : FoundFile;
    if (checked.where.found == FoundFolder)
        problems.Error("item " + shown + " is a folder: the updater tries to copy it as a file "
                       "and shows the open prompt");
    else if (step.prompt == PromptSourceUnreadable)
        problems.Error("item " + shown + ": " + StepReason(step));
}

// What the step says about the item's versions, and where the run would go.
void CheckItem(CheckedItem& checked, Problems& problems)
{
    const ItemStep& step = *checked.step;
    const std::string shown = Quoted(step.item);
    CheckFound(checked, shown, problems);
    if (checked.where.found != FoundFile)
        return;
    const char* item = TextOf(step.item);
    if (step.decision.kind == ItemExecutable && step.decision.sourceVersion.IsEmpty())
        problems.Warning("item " + shown + " has no FileVersion: the updater copies it only "
                         "where the installed copy has none");
    if (step.decision.kind == ItemArchive) {
        const uint32_t format = ArchiveFormat(item);
        if (format != 2)
            problems.Warning("item " + shown + " is an archive of format " + std::to_string(format) +
                             ": its revision reads as \"0\", so it replaces only an installed copy "
                             "whose revision text is \"0\" or sorts lower");
    }
    if (step.verdict == VerdictStop && step.error != ERROR_DISK_FULL)
        problems.Error("item " + shown + ": " + StepReason(step));
    else if (step.verdict == VerdictPrompt && step.prompt != PromptSourceUnreadable)
        problems.Warning("item " + shown + " at " + Utf8(step.target) + ": " + StepReason(step));
}

// With AllOrNothing=1: the room the update's copies take beside the
// install folder the updater proposes, where they stay until the last is in.
class Room {
public:
    bool asked;  // AllOrNothing=1 and the run gets as far as its items
    std::wstring installFolder;
    uint64_t needed;
    uint64_t free;  // UINT64_MAX: unknown

    Room() : asked(false), needed(0), free(UINT64_MAX) {}
    virtual ~Room() {}
};

void MeasureRoom(const UpdateFolder& folder, const UpdatePlan& plan, const std::wstring& installFolder,
                 Room& room, Problems& problems)
{
    if (folder.allOrNothing.IsEmpty())
        return;
    if (!folder.settings.allOrNothing) {
        problems.Warning("AllOrNothing " + Quoted(folder.allOrNothing) + " is not \"1\": the "
                         "updater updates item by item");
        return;
    }
    if (installFolder.empty())
        return;
    room.asked = true;
    room.installFolder = installFolder;
    room.needed = plan.neededBytes;
    room.free = plan.freeBytes;
    if (room.free != UINT64_MAX && room.needed > room.free)
        problems.Error("all or nothing: the update's copies need " + std::to_string(room.needed) +
                       " bytes beside " + Utf8(room.installFolder) + ", whose disk has " +
                       std::to_string(room.free) + " free: the updater would fail and put "
                       "every target back");
}

// The keys that name and title the run: left out, the updater runs as
// "Quillmark"'s "Installer" and looks for that product's install folder.
void CheckNaming(const UpdateFolder& folder, Problems& problems)
{
    std::string keys, values;
    for (const SettingView& view : folder.views) {
        if (!view.isDefault || std::string(view.key) == "file" || std::string(view.key) == "AllOrNothing")
            continue;
        keys += (keys.empty() ? "" : ", ") + std::string(view.key);
        values += (values.empty() ? "" : ", ") + std::string(view.key) + " " + Quoted(view.value);
    }
    if (!keys.empty())
        problems.Warning(keys + (keys.find(',') == std::string::npos ? " is" : " are") +
                         " not read from [update]: the updater uses its defaults (" + values + ")");
}

// The shipped copy's version text, when the item is a file the updater takes.
const String& ShownVersion(const CheckedItem& checked)
{
    static const String none;
    return checked.where.found == FoundFile ? checked.step->decision.sourceVersion : none;
}

std::string SourceLine(const std::wstring& folderPath, const UpdateFolder& folder)
{
    const std::string where = Utf8(folderPath);
    switch (folder.source) {
    case SettingsPlain: return "update.ini: a file in " + where;
    case SettingsInArchive:
        return "update.ini: the entry " + Quoted(folder.entry) + " of " + folder.archive + " in " +
               where;
    case SettingsMissing: break;
    }
    return "update.ini: not found in " + where;
}

// Each setting a plain text, as the updater sees it; the keys that kept
// their defaults listed beside.
void Settings(const UpdateFolder& folder, Report& report)
{
    report.Begin("settings", false, "settings:");
    for (const SettingView& view : folder.views) {
        std::string shown = Quoted(view.value);
        // A long list reads better as the items table below.
        if (std::string(view.key) == "file" && shown.size() > 60)
            shown = std::to_string(folder.settings.files.size()) + " items, listed under items";
        report.Row({ReportCell(view.key),
                    ReportCell(view.key, ReportValue::Text(Utf8Of(view.value)),
                               shown + (view.isDefault ? " (default)" : ""))});
    }
    report.End();
    report.Begin("defaults", true, "");
    for (const SettingView& view : folder.views)
        if (view.isDefault)
            report.Row({ReportCell(nullptr, ReportValue::Text(view.key))});
    report.End();
}

void RoomField(const Room& room, Report& report)
{
    if (!room.asked) {
        report.Field("allOrNothing", ReportValue::Null(), "");
        return;
    }
    report.Line("all or nothing: the update needs " + std::to_string(room.needed) +
                " bytes beside the install folder " + Utf8(room.installFolder) +
                " (the applied items' copies, kept until the last is in place)" +
                (room.free == UINT64_MAX ? std::string()
                                         : "; its disk has " + std::to_string(room.free) + " free"));
    report.Begin("allOrNothing", false, "");
    report.Row({ReportCell("installFolder", ReportValue::Text(Utf8(room.installFolder))),
                ReportCell("neededBytes", ReportValue::Number(int64_t(room.needed))),
                ReportCell("freeBytes", room.free == UINT64_MAX
                                            ? ReportValue::Null()
                                            : ReportValue::Number(int64_t(room.free)))});
    report.End();
}

void ItemRows(const std::vector<CheckedItem>& items, Report& report)
{
    report.Begin("items", true, items.empty() ? "" : "items:");
    for (const CheckedItem& checked : items) {
        std::string note;
        if (checked.where.found == FoundArchive)
            note = "in " + checked.where.archive + " as " + Quoted(checked.where.entry);
        const String& version = ShownVersion(checked);
        const std::string found = FoundName(checked.where.found);
        const std::string kind = KindName(checked.step->decision.kind);
        report.Row({ReportCell("item", ReportValue::Text(Utf8Of(checked.step->item)),
                               Quoted(checked.step->item)),
                    ReportCell("kind", ReportValue::Text(kind)), ReportCell(found),
                    ReportCell(kind), ReportCell("found", ReportValue::Text(found)),
                    ReportCell("version", ReportValue::Text(Utf8Of(version)),
                               version.IsEmpty() ? "-" : Quoted(version)),
                    ReportCell(note)});
    }
    report.End();
}

void Render(const std::wstring& folderPath, const UpdateFolder& folder,
            const std::vector<CheckedItem>& items, const Room& room, const Problems& problems,
            Report& report)
{
    report.Line(SourceLine(folderPath, folder));
    Settings(folder, report);
    RoomField(room, report);
    ItemRows(items, report);
    report.Begin("problems", true, problems.found.empty() ? "" : "problems:", LayoutLines);
    for (const Problem& problem : problems.found)
        report.Row({ReportCell("severity", ReportValue::Text(SeverityName(problem.severity)),
                               SeverityName(problem.severity) + std::string(":")),
                    ReportCell("message", ReportValue::Text(problem.message), problem.message)});
    report.End();
    const size_t errors = problems.Count(SeverityError);
    const size_t warnings = problems.Count(SeverityWarning);
    report.Line(std::string(errors ? "check failed: " : "check passed: ") + std::to_string(errors) +
                (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
                (warnings == 1 ? " warning" : " warnings"));
}

int Check(const CommandLine& line)
{
    const std::wstring dir = line.positional.empty() ? L"" : PathArgument(line.positional[0]);
    WorkingFolder working;
    if (!working.Enter(dir))
        throw ToolError("cannot enter the folder " + Shown(dir));

    // The stages plan goes through: settings, items, archives.
    Problems problems;
    UpdateFolder folder;
    folder.Read();
    CheckSettingsSource(folder, problems);
    LintSettings(folder.bytes, problems);

    UpdatePlan plan;
    std::vector<CheckedItem> items;
    Room room;
    if (folder.readFailure.empty()) {
        if (folder.source != SettingsMissing)
            CheckNaming(folder, problems);
        CheckName(folder.settings.name, problems);
        // Without a settings file, that there are no items goes without saying.
        if (folder.source != SettingsMissing)
            CheckList(folder.fileList, folder.settings.files, problems);
        // Against the install folder the updater proposes, every item judged.
        std::wstring installFolder;
        String notice;
        LocateInstallDirectory(folder.settings, installFolder, notice);
        plan.Items(folder.settings, installFolder, true);
        items.reserve(plan.items.size());
        for (const PlannedItem& planned : plan.items) {
            items.emplace_back(planned.step);
            CheckItem(items.back(), problems);
        }
        MeasureRoom(folder, plan, installFolder, room, problems);
    }
    CheckArchives(problems);

    Report report(line.Has("--json"));
    Render(working.Path(), folder, items, room, problems, report);
    report.Write();
    return problems.Count(SeverityError) ? ExitProblems : ExitOk;
}

}  // namespace

int RunCheck(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("check", args, {OptionSpec("--json", false)}))
        return ExitTrouble;
    if (line.positional.size() > 1)
        return UsageError("check", "too many arguments: one folder at most");
    return Check(line);
}
