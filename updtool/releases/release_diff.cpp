#include "updtool/releases/release_diff.h"

#include <cstring>
#include <map>
#include "update/item_step.h"
#include "update/update_decision.h"
#include "settings/settings_reader.h"
#include "settings/update_settings.h"
#include "updtool/console/command_line.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_names.h"
#include "updtool/folders/folder_walk.h"
#include "updtool/console/tool_output.h"
#include "base/shown_text.h"
#include "update/item_words.h"
#include "updtool/folders/working_folder.h"

namespace {

// A release's files by their names below its folder, as the updater tells
// one item from another.
typedef std::map<std::wstring, const SourceFile*, ItemKeyLess> Listing;

Listing ListingOf(const FolderWalk& walk, const std::wstring& dir)
{
    Listing listing;
    for (const std::vector<SourceFile>* files : {&walk.files, &walk.unnamed})
        for (const SourceFile& file : *files)
            listing.emplace(file.path.substr(dir.size() + 1), &file);
    return listing;
}

bool SameBytes(const std::wstring& a, const std::wstring& b, uint64_t& bytes)
{
    Handle one, two;
    OpenListedFile(one, a, Shown(a));
    OpenListedFile(two, b, Shown(b));
    std::vector<char> x(256 * 1024), y(256 * 1024);
    for (;;) {
        const uint32_t got = ReadListedFile(one.Get(), x.data(), uint32_t(x.size()), Shown(a));
        bytes += got;
        if (ReadListedFile(two.Get(), y.data(), uint32_t(y.size()), Shown(b)) != got ||
            std::memcmp(x.data(), y.data(), got) != 0)
            return false;
        if (got < x.size())
            return true;
    }
}

// Whether file is added, or changed since the old release.
bool Ships(const SourceFile& file, const std::wstring& newDir, const Listing& olds, uint64_t& bytes)
{
    const auto old = olds.find(file.path.substr(newDir.size() + 1));
    return old == olds.end() || old->second->size != file.size ||
           !SameBytes(file.path, old->second->path, bytes);
}

// Why name cannot be a file of the update or an item of update.ini, or "".
std::string NameRefusal(const std::string& name)
{
    const std::string entry = EntryNameRefusal(name);
    if (!entry.empty())
        return "the name " + entry + ", so the updater could not install it (leave it out with "
               "--exclude)";
    if (LookupKeyOf(name) == LookupKeyOf(settingsFileName))
        return "update.ini is the update's own settings file";
    const std::string read = ReadBack("[update]\r\nfile=" + name + "\r\n", "file");
    String list;
    list.Assign(read.c_str());
    std::vector<String> items;
    SplitFileList(list, items);
    if (items.size() != 1 || name != TextOf(items[0]))
        return "update.ini cannot list it: the updater's reader reads it as " + Quoted(read) +
               " (\";\" separates items, \"\\n\" and \"\\t\" become a line break and a tab, "
               "a tab ends the value, leading spaces are skipped)";
    return std::string();
}

// A change the updater installs although its version text does not show it.
void WarnIfSameVersion(const MadeItem& item, Problems& problems)
{
    if (item.changed && item.kind != ItemPlain &&
        CompareVersionTexts(item.newVersion.c_str(), item.oldVersion.c_str()) == 0)
        problems.Warning(Quoted(item.name) + ": " +
                         (item.newVersion.empty()
                              ? "neither release's copy has a FileVersion"
                              : std::string(item.kind == ItemArchive ? "its revision " : "its FileVersion ") +
                                    Quoted(item.newVersion) + " is the old release's") +
                         ", so the updater installs it (it copies when the text compares greater "
                         "or equal) but cannot tell the two apart: every run copies it again");
}

// The updater's own decision for item over the old release as the install
// folder (the current folder is the new release's), and what its copy would
// meet: why it would not install it, or "".
std::string StepRefusal(MadeItem& item, const std::wstring& oldDir, Problems& problems)
{
    String listed;
    listed.Assign(item.name.c_str());
    ItemRecord record(listed);
    record.target = ItemTarget(oldDir, record.name);
    DecideItemKeepingFailure(record, true);
    const ItemVerdict verdict = PredictCopy(record);
    item.newVersion = TextOf(record.decision.sourceVersion);
    item.oldVersion = TextOf(record.decision.targetVersion);
    if (verdict == VerdictSkip)
        return "the updater would skip it: " + DecisionReason(record.decision, record.target);
    if (verdict == VerdictStop)
        return "the updater would stop with its error box \"" + Utf8(record.stopMessage) + "\"" +
               (item.kind == ItemArchive ? " (see \"updtool verify\")" : "");
    if (verdict == VerdictPrompt && record.prompt == PromptTargetIsFolder)
        return "it is a folder in the old release, and the updater cannot replace a folder with "
               "a file";
    if (verdict == VerdictPrompt && record.prompt == PromptFolderIsFile)
        return "its folder " + Shown(record.path) + " is a file in the old release";
    // A read-only or held copy says how the old release lies on this
    // machine, not how it is installed.
    if (verdict == VerdictPrompt &&
        (record.prompt == PromptTargetReadOnly || record.prompt == PromptTargetHeld))
        problems.Warning(Quoted(item.name) + ": in the old release " + VerdictReason(record));
    else if (verdict != VerdictApply)
        return VerdictReason(record);
    WarnIfSameVersion(item, problems);
    return std::string();
}

// Judges the shipped files of news, in the lookup's order.
void JudgeShipped(const FolderWalk& news, const std::vector<bool>& shipped, const Listing& olds,
                  const std::wstring& newDir, const std::wstring& oldDir, ReleaseDiff& diff)
{
    std::vector<std::string> names;
    for (const SourceFile& file : news.files)
        names.push_back(file.name);
    const LookupOrder order(names);
    std::vector<bool> judged = shipped;
    for (const auto& pair : order.sameName)
        if (shipped[pair.first] || shipped[pair.second]) {
            diff.problems.Error(Quoted(names[pair.first]) + " and " + Quoted(names[pair.second]) +
                                " cannot both be shipped: the updater ignores case, so they are "
                                "one name");
            judged[pair.first] = judged[pair.second] = false;
        }
    for (size_t index : order.order) {
        if (!judged[index])
            continue;
        MadeItem item;
        item.name = names[index];
        item.path = news.files[index].path;
        item.changed = olds.count(item.path.substr(newDir.size() + 1)) != 0;
        item.kind = KindOfItem(item.name.c_str());
        // Why the updater would not install it, or "".
        std::string refusal = NameRefusal(item.name);
        if (refusal.empty())
            refusal = StepRefusal(item, oldDir, diff.problems);
        if (refusal.empty())
            diff.items.push_back(item);
        else
            diff.problems.Error(Quoted(item.name) + ": " + refusal);
    }
}

}  // namespace

std::string ReadBack(const std::string& text, const char* key)
{
    String settings;
    settings.Assign(text.c_str());
    String value;
    FindSettingValue(settingsSection, key, value, settings);
    return TextOf(value);
}

void CompareReleases(const std::wstring& oldFolder, const std::wstring& newFolder,
                     const NamePatterns& leftOut, bool quiet, ReleaseDiff& diff)
{
    FolderWalk olds(oldFolder, {}, &leftOut), news(newFolder, {}, &leftOut);
    const std::wstring &oldDir = olds.root, &newDir = news.root;
    olds.Run();
    news.Run();
    for (const std::string& warning : news.warnings)
        diff.problems.Warning(warning);
    const Listing oldFiles = ListingOf(olds, oldDir), newFiles = ListingOf(news, newDir);
    for (const auto& old : oldFiles)
        if (newFiles.find(old.first) == newFiles.end()) {
            diff.removed.push_back(Utf8(old.first));
            diff.problems.Warning(Shown(old.first) + " is removed in the new release: the "
                                  "updater cannot remove files, so it stays installed");
        }

    Progress shown("make: comparing", quiet);
    uint64_t bytes = 0;
    const uint32_t total = uint32_t(news.files.size() + news.unnamed.size());
    std::vector<bool> shipped;
    uint32_t done = 0;
    for (const SourceFile& file : news.files) {
        shipped.push_back(Ships(file, newDir, oldFiles, bytes));
        shown.Update(++done, total, bytes);
    }
    for (const SourceFile& file : news.unnamed) {
        if (Ships(file, newDir, oldFiles, bytes))
            diff.problems.Error(Shown(file.path.substr(newDir.size() + 1)) +
                                ": code page 932 cannot hold the name, and update.ini lists "
                                "items in code page 932 (leave it out with --exclude)");
        shown.Update(++done, total, bytes);
    }
    shown.Done();

    WorkingFolder working;
    if (!working.Enter(newFolder))
        ThrowSystemError("cannot enter the folder " + Shown(newDir), newDir);
    JudgeShipped(news, shipped, oldFiles, newDir, oldDir, diff);
    if (diff.items.empty() && diff.problems.Count(SeverityError) == 0)
        diff.problems.Error("nothing was added or changed: an update would list no items");
}
