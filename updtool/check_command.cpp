#include "updtool/commands.h"

#include <new>
#include <windows.h>
#include "base/exceptions.h"
#include "base/messages.h"
#include "base/text_932.h"
#include "pak/archive_file.h"
#include "pak/archive_header.h"
#include "pak/archive_revision.h"
#include "paths/paths.h"
#include "update/file_version.h"
#include "update/update_decision.h"
#include "update/item_rule.h"
#include "updtool/archive_damage.h"
#include "updtool/command_line.h"
#include "updtool/instance_name.h"
#include "updtool/item_location.h"
#include "updtool/kind_name.h"
#include "updtool/problem.h"
#include "updtool/report_text.h"
#include "updtool/settings_encoding.h"
#include "updtool/settings_lint.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_output.h"
#include "update/install_lookup.h"
#include "updtool/update_folder.h"
#include "updtool/update_plan.h"
#include "updtool/working_folder.h"

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
    "update.ini the updater reads otherwise than they look, empty or\n"
    "duplicate items, items it skips, executables without FileVersion,\n"
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
    String item;  // as listed (code page 932)
    ItemKind kind;
    ItemLocation where;
    String version;

    CheckedItem() : kind(ItemPlain) {}
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
        for (size_t j = 0; j < i; ++j) {
            String earlier(files[j]);
            if (earlier.CompareNoCase(item.c_str()) == 0) {
                problems.Warning("item " + shown + " is listed more than once: the updater "
                                 "decides and copies it each time");
                break;
            }
        }
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

void CheckItem(const String& name, CheckedItem& checked, Problems& problems)
{
    const char* item = TextOf(name);
    checked.item = name;
    checked.kind = KindOfItem(item);
    // A refused item is never looked for.
    if (JudgeItem(item) != ItemAccepted) {
        checked.where.found = FoundMissing;
        return;
    }
    LocateItem(item, checked.where);
    const std::string shown = Quoted(name);
    switch (checked.where.found) {
    case FoundFile:
        break;
    case FoundFolder:
        problems.Error("item " + shown + " is a folder: the updater tries to copy it as a file "
                       "and shows the open prompt");
        return;
    case FoundArchive:
        problems.Warning("item " + shown + " is not a file in the folder, only an entry of " +
                         checked.where.archive + ": the updater skips it");
        if (checked.where.longerName)
            problems.Warning("item " + shown + ": the archive lookup resolves it to the longer "
                             "name " + Quoted(checked.where.entry) + " of " +
                             checked.where.archive);
        return;
    case FoundMissing:
        problems.Warning("item " + shown + " is not in the folder: the updater skips it");
        return;
    }

    if (checked.kind == ItemExecutable) {
        GetFileVersionText(item, checked.version);
        if (checked.version.IsEmpty())
            problems.Warning("item " + shown + " has no FileVersion: the updater copies it only "
                             "where the installed copy has none");
    } else if (checked.kind == ItemArchive) {
        GetArchiveRevisionText(item, checked.version);
        const uint32_t format = ArchiveFormat(item);
        if (format != 2)
            problems.Warning("item " + shown + " is an archive of format " + std::to_string(format) +
                             ": its revision reads as \"0\", so it replaces only an installed copy "
                             "whose revision text is \"0\" or sorts lower");
    }
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

void MeasureRoom(const UpdateFolder& folder, Room& room, Problems& problems)
{
    if (folder.allOrNothing.IsEmpty())
        return;
    if (!folder.settings.allOrNothing) {
        problems.Warning("AllOrNothing " + Quoted(folder.allOrNothing) + " is not \"1\": the "
                         "updater updates item by item");
        return;
    }
    UpdatePlan plan;
    String notice;
    LocateInstallDirectory(folder.settings, room.installFolder, notice);
    if (room.installFolder.empty() || !plan.BeforeDialog(folder))
        return;
    plan.Items(folder.settings, room.installFolder);
    room.asked = true;
    room.needed = plan.appliedBytes;
    room.free = plan.freeBytes;
    for (const PlannedItem& planned : plan.items)
        if (planned.action == ActionStop || planned.action == ActionNotReached)
            room.needed += planned.size;
    if (room.free != UINT64_MAX && room.needed > room.free)
        problems.Error("all or nothing: the update's copies need " + std::to_string(room.needed) +
                       " bytes beside " + Utf8(room.installFolder) + ", whose disk has " +
                       std::to_string(room.free) + " free: the updater would fail and put "
                       "every target back");
}

void PrintHuman(const std::wstring& folderPath, const UpdateFolder& folder,
                const std::vector<CheckedItem>& items, const Room& room, const Problems& problems)
{
    std::string out;
    const std::string where = Utf8(folderPath);
    switch (folder.source) {
    case SettingsPlain: out += "update.ini: a file in " + where + "\n"; break;
    case SettingsInArchive:
        out += "update.ini: the entry " + Quoted(folder.entry) + " of " + folder.archive + " in " +
               where + "\n";
        break;
    case SettingsMissing: out += "update.ini: not found in " + where + "\n"; break;
    }
    out += "settings:\n";
    TextTable settings;
    for (const SettingView& view : folder.views)
        settings.Add({view.key, Quoted(view.value) + (view.isDefault ? " (default)" : "")});
    out += settings.Text(2);
    if (room.asked)
        out += "all or nothing: the update needs " + std::to_string(room.needed) +
               " bytes beside the install folder " + Utf8(room.installFolder) +
               " (the applied items' copies, kept until the last is in place)" +
               (room.free == UINT64_MAX ? std::string()
                                        : "; its disk has " + std::to_string(room.free) + " free") +
               "\n";
    if (!items.empty()) {
        out += "items:\n";
        TextTable table;
        for (const CheckedItem& checked : items) {
            std::string note;
            if (checked.where.found == FoundArchive)
                note = "in " + checked.where.archive + " as " + Quoted(checked.where.entry);
            table.Add({Quoted(checked.item), FoundName(checked.where.found), KindName(checked.kind),
                       checked.version.IsEmpty() ? "-" : Quoted(checked.version), note});
        }
        out += table.Text(2);
    }
    if (!problems.found.empty()) {
        out += "problems:\n";
        for (const Problem& problem : problems.found)
            out += std::string("  ") + SeverityName(problem.severity) + ": " + problem.message + "\n";
    }
    const size_t errors = problems.Count(SeverityError);
    const size_t warnings = problems.Count(SeverityWarning);
    out += std::string(errors ? "check failed: " : "check passed: ") + std::to_string(errors) +
           (errors == 1 ? " error, " : " errors, ") + std::to_string(warnings) +
           (warnings == 1 ? " warning\n" : " warnings\n");
    WriteOut(out);
}

void PrintJson(const UpdateFolder& folder, const std::vector<CheckedItem>& items, const Room& room,
               const Problems& problems)
{
    JsonWriter json;
    json.BeginObject();
    // Each setting a plain text, as the updater sees it; the keys that
    // kept their defaults listed beside.
    json.Key("settings");
    json.BeginObject();
    for (const SettingView& view : folder.views)
        json.Field(view.key, Utf8Of(view.value));
    json.EndObject();
    json.Key("defaults");
    json.BeginArray();
    for (const SettingView& view : folder.views)
        if (view.isDefault)
            json.Text(view.key);
    json.EndArray();
    json.Key("allOrNothing");
    if (room.asked) {
        json.BeginObject();
        json.Field("installFolder", Utf8(room.installFolder));
        json.Field("neededBytes", int64_t(room.needed));
        json.Key("freeBytes");
        if (room.free == UINT64_MAX)
            json.Null();
        else
            json.Number(int64_t(room.free));
        json.EndObject();
    } else {
        json.Null();
    }
    json.Key("items");
    json.BeginArray();
    for (const CheckedItem& checked : items) {
        json.BeginObject();
        json.Field("item", Utf8Of(checked.item));
        json.Field("kind", KindName(checked.kind));
        json.Field("found", FoundName(checked.where.found));
        json.Field("version", Utf8Of(checked.version));
        json.EndObject();
    }
    json.EndArray();
    json.Key("problems");
    json.BeginArray();
    for (const Problem& problem : problems.found) {
        json.BeginObject();
        json.Field("severity", SeverityName(problem.severity));
        json.Field("message", problem.message);
        json.EndObject();
    }
    json.EndArray();
    json.EndObject();
    WriteOut(json.Document());
}

int Check(const CommandLine& line)
{
    const std::wstring dir = line.positional.empty() ? L"" : PathArgument(line.positional[0]);
    WorkingFolder working;
    if (!working.Enter(dir))
        return Fail("check", "cannot enter the folder " + Shown(dir));

    Problems problems;
    UpdateFolder folder;
    folder.Read();
    CheckSettingsSource(folder, problems);
    CheckArchives(problems);
    LintSettings(folder.bytes, problems);

    std::vector<CheckedItem> items;
    Room room;
    if (folder.readFailure.empty()) {
        CheckName(folder.settings.name, problems);
        // Without a settings file, that there are no items goes without saying.
        if (folder.source != SettingsMissing)
            CheckList(folder.fileList, folder.settings.files, problems);
        items.resize(folder.settings.files.size());
        for (size_t i = 0; i < items.size(); ++i)
            CheckItem(folder.settings.files[i], items[i], problems);
        MeasureRoom(folder, room, problems);
    }

    if (line.Has("--json"))
        PrintJson(folder, items, room, problems);
    else
        PrintHuman(working.Path(), folder, items, room, problems);
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
    try {
        return Check(line);
    } catch (const OCErrorException& failure) {
        return Fail("check", Utf8(failure.wideMessage));
    } catch (const OCException& failure) {
        return Fail("check", "failed with code " + std::to_string(failure.code));
    } catch (const DWORD& code) {
        return Fail("check", "out of memory (code " + std::to_string(code) + ")");
    } catch (const std::bad_alloc&) {
        return Fail("check", "out of memory");
    }
}
