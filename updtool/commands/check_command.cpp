#include "updtool/commands/commands.h"

#include <windows.h>
#include "base/messages.h"
#include "base/text_932.h"
#include "pak/archive_file.h"
#include "pak/archive_header.h"
#include "paths/wide_paths.h"
#include "paths/item_rule.h"
#include "updtool/archives/folder_archives.h"
#include "updtool/console/command_line.h"
#include "updtool/folders/item_location.h"
#include "updtool/signing/manifest_report.h"
#include "updtool/console/command_report.h"
#include "updtool/console/kind_name.h"
#include "updtool/console/problem.h"
#include "updtool/console/report_text.h"
#include "updtool/folders/settings_lint.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "update/install_lookup.h"
#include "updtool/folders/update_folder.h"
#include "updtool/commands/update_plan.h"
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

void CheckSettingsSource(const UpdateFolder& folder, Problems& problems)
{
    String promptText;
    promptText.Format(kOpenFailedText, settingsFileName);
    const std::string prompt = Quoted(std::string(TextOf(promptText)));
    const ItemLocation& at = folder.settingsAt;
    if (!folder.Found() && folder.readFailure.empty()) {
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
    if (!folder.readFailure.empty())
        problems.Error("reading update.ini fails with \"" + folder.readFailure + "\"" +
                       ": the updater would show its error box and end");
}

// The document's words for where an item is found, by ItemFound.
const char* const foundNames[] = {"file", "folder", "archive", "missing"};

// Why the updater refuses an item, in words, by ItemRefusal.
const char* const refusalTexts[] = {
    "", "it has a \"..\" part", "it begins with a separator (root-relative, UNC or device path)",
    "it holds \":\" (a drive or an alternate data stream)", "a part of it names a device"};

// Problems of the list itself, before any item's step is looked at.
void CheckList(const UpdateFolder& folder, const UpdatePlan& plan, Problems& problems)
{
    const std::vector<String>& files = folder.settings.files;
    if (files.empty()) {
        problems.Error("no items: the key file is missing or lists nothing; the updater would "
                       "copy nothing and still report the update as finished");
        return;
    }
    if (std::string(TextOf(folder.fileList)).find(";;") != std::string::npos)
        problems.Warning("file " + Quoted(folder.fileList) + " holds an empty item (\";;\"): it is "
                         "left out");
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
        if (plan.items[i].step.verdict == VerdictListedAgain)
            problems.Warning("item " + shown + " names the same target as a later item: the "
                             "updater applies only the last listing");
        const ItemRefusal refusal = JudgeItem(item.c_str());
        if (refusal != ItemAccepted) {
            String message;
            message.Format(kRefusedItemText, item.c_str());
            problems.Error("item " + shown + " is refused by the updater, as " +
                           refusalTexts[refusal] + ": it ends with its error box " +
                           Quoted(message) + " before its dialog, and copies nothing");
        }
    }
}

// What the item's step says: where the shipped item is found, its versions,
// and where the run would go.
void CheckItem(const PlannedItem& planned, Problems& problems)
{
    const ItemStep& step = planned.step;
    const ItemLocation& where = planned.where;
    const std::string item = "item " + Quoted(step.item);
    if (step.verdict == VerdictMissing) {
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
    if (step.prompt == PromptSourceUnreadable)
        problems.Error(item + ": " + planned.reason);
    if (step.decision.kind == ItemExecutable && step.decision.sourceVersion.IsEmpty())
        problems.Warning(item + " has no FileVersion: the updater copies it only where the "
                         "installed copy has none");
    const uint32_t format =
        step.decision.kind == ItemArchive ? ArchiveFormat(TextOf(step.item)) : 2;
    if (format != 2)
        problems.Warning(item + " is an archive of format " + std::to_string(format) +
                         ": its revision reads as \"0\", so it replaces only an installed copy "
                         "whose revision text is \"0\" or sorts lower");
    if (step.verdict == VerdictStop && step.error != ERROR_DISK_FULL)
        problems.Error(item + ": " + planned.reason);
    else if (step.verdict == VerdictPrompt && step.prompt != PromptSourceUnreadable)
        problems.Warning(item + " at " + Utf8(step.target) + ": " + planned.reason);
}

// With AllOrNothing=1: the room the update's copies take beside the
// install folder the updater proposes, where they stay until the last is in.
void MeasureRoom(const UpdateFolder& folder, const UpdatePlan& plan,
                 const std::wstring& installFolder, Problems& problems)
{
    if (!folder.allOrNothing.IsEmpty() && !plan.allOrNothing)
        problems.Warning("AllOrNothing " + Quoted(folder.allOrNothing) + " is not \"1\": the "
                         "updater updates item by item");
    else if (plan.allOrNothing && plan.freeBytes != UINT64_MAX &&
             plan.neededBytes > plan.freeBytes)
        problems.Error("all or nothing: the update's copies need " + std::to_string(plan.neededBytes) +
                       " bytes beside " + Utf8(installFolder) + ", whose disk has " +
                       std::to_string(plan.freeBytes) + " free: the updater would fail and put "
                       "every target back");
}

// The keys that name and title the run: left out, the updater runs as
// "Quillmark"'s "Installer" and looks for that product's install folder. And
// what creating the instance event gave the plan's stage before the dialog.
void CheckNaming(const UpdateFolder& folder, const UpdatePlan& plan, Problems& problems)
{
    std::string keys, values;
    for (const SettingView& view : folder.views) {
        if (!view.isDefault || std::string(view.key) == "file" || std::string(view.key) == "AllOrNothing")
            continue;
        keys += (keys.empty() ? "" : ", ") + std::string(view.key);
        values += (values.empty() ? "" : ", ") + std::string(view.key) + " " + Quoted(view.value);
    }
    // Without a settings file, that every key is left out goes without saying.
    if (!keys.empty() && folder.Found())
        problems.Warning(keys + (keys.find(',') == std::string::npos ? " is" : " are") +
                         " not read from [update]: the updater uses its defaults (" + values + ")");
    const std::string name = Quoted(folder.settings.name);
    if (plan.eventError == ERROR_ALREADY_EXISTS)
        problems.Warning("an object named " + name + " exists now (an updater running?): a start "
                         "now would end at once, silently");
    else if (plan.eventError)
        problems.Error("Name " + name + " cannot name the instance event (creating it fails with "
                       "error " + std::to_string(plan.eventError) +
                       "): the updater would end at once, silently, without updating");
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
                    ReportCell(view.key, ReportValue::Text(Utf8From932(TextOf(view.value))),
                               shown + (view.isDefault ? " (default)" : ""))});
    }
    report.End();
    report.Begin("defaults", true, "");
    for (const SettingView& view : folder.views)
        if (view.isDefault)
            report.Row({ReportCell(nullptr, ReportValue::Text(view.key))});
    report.End();
}

// The document in the order it reads: where update.ini comes from, the
// settings, the room an all-or-nothing run needs, the items, the problems.
void Render(const UpdateFolder& folder, const UpdatePlan& plan, const std::wstring& installFolder,
            const Problems& problems, Report& report)
{
    const std::string where = " in " + Utf8(CurrentFolder());
    const ItemLocation& at = folder.settingsAt;
    report.Line(at.found == FoundFile      ? "update.ini: a file" + where
                : at.found == FoundArchive ? "update.ini: the entry " + Quoted(at.entry) + " of " +
                                                 at.archive + where
                                           : "update.ini: not found" + where);
    Settings(folder, report);

    const bool known = plan.freeBytes != UINT64_MAX;
    if (!plan.allOrNothing) {
        report.Field("allOrNothing", ReportValue::Null(), "");
    } else {
        report.Line("all or nothing: the update needs " + std::to_string(plan.neededBytes) +
                    " bytes beside the install folder " + Utf8(installFolder) +
                    " (the applied items' copies, kept until the last is in place)" +
                    (known ? "; its disk has " + std::to_string(plan.freeBytes) + " free" : ""));
        report.Begin("allOrNothing", false, "");
        report.Row({ReportCell("installFolder", ReportValue::Text(Utf8(installFolder))),
                    ReportCell("neededBytes", ReportValue::Number(int64_t(plan.neededBytes))),
                    ReportCell("freeBytes", known ? ReportValue::Number(int64_t(plan.freeBytes))
                                                  : ReportValue::Null())});
        report.End();
    }

    report.Begin("items", true, plan.items.empty() ? "" : "items:");
    for (const PlannedItem& planned : plan.items) {
        const ItemLocation& place = planned.where;
        const std::string note =
            place.found == FoundArchive ? "in " + place.archive + " as " + Quoted(place.entry) : "";
        // The shipped copy's version text, when the item is a file the updater takes.
        const String version =
            place.found == FoundFile ? planned.step.decision.sourceVersion : String();
        const std::string found = foundNames[place.found];
        const std::string kind = KindName(planned.step.decision.kind);
        report.Row({QuotedCell("item", TextOf(planned.step.item)),
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

int RunCheck(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("check", args, {OptionSpec("--json", false), OptionSpec("--keys", true)}))
        return ExitTrouble;
    if (line.positional.size() > 1)
        return UsageError("check", "too many arguments: one folder at most");
    const std::wstring dir = line.positional.empty() ? L"" : PathArgument(line.positional[0]);
    ManifestReport signedCheck;
    if (int code = signedCheck.TakeKeys("check", line))
        return code;
    WorkingFolder working;
    if (!working.Enter(dir))
        throw ToolError("cannot enter the folder " + Shown(dir));

    // The stages plan goes through: settings, items, archives.
    Problems problems;
    UpdateFolder folder;
    signedCheck.Read(folder);
    CheckSettingsSource(folder, problems);
    LintSettings(folder.bytes, problems);

    UpdatePlan plan;
    std::wstring installFolder;
    if (folder.readFailure.empty()) {
        // Against the install folder the updater proposes, every item judged.
        plan.BeforeDialog(folder);
        String notice;
        LocateInstallDirectory(folder.settings, installFolder, notice);
        plan.Items(folder.settings, installFolder, true);
        CheckNaming(folder, plan, problems);
        // Without a settings file, that there are no items goes without saying.
        if (folder.Found())
            CheckList(folder, plan, problems);
        for (const PlannedItem& planned : plan.items)
            CheckItem(planned, problems);
        MeasureRoom(folder, plan, installFolder, problems);
        if (signedCheck.BeforeDialog(folder.settings, nullptr))
            signedCheck.Sources(folder.settings.files, nullptr);
    }
    signedCheck.AddProblem(problems);
    CheckArchives(problems);

    Report report(line.Has("--json"));
    signedCheck.Render(report);
    Render(folder, plan, installFolder, problems, report);
    report.Write();
    return problems.Count(SeverityError) ? ExitProblems : ExitOk;
}
