#include "updtool/commands.h"

#include <cstring>
#include <new>
#include <windows.h>
#include "base/exceptions.h"
#include "base/text_932.h"
#include "pak/archive_revision.h"
#include "pak/archive_soundness.h"
#include "paths/folder_listing.h"
#include "paths/wide_paths.h"
#include "update/file_version.h"
#include "update/item_rule.h"
#include "update/settings_reader.h"
#include "update/temporary_file.h"
#include "update/update_decision.h"
#include "update/update_settings.h"
#include "updtool/entry_order.h"
#include "updtool/file_handle.h"
#include "updtool/folder_walk.h"
#include "updtool/kind_name.h"
#include "updtool/problem.h"
#include "updtool/report_text.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_error.h"
#include "updtool/tool_output.h"
#include "updtool/working_folder.h"

const char* const makeUsage =
    "usage: updtool make OLD_DIR NEW_DIR OUT_DIR [--brand B] [--name N] [--title T]\n"
    "                   [--version V] [--json]\n"
    "Builds an update from two releases: compares the files below OLD_DIR and\n"
    "NEW_DIR byte by byte and writes to OUT_DIR (new, or an empty folder)\n"
    "every file of NEW_DIR that was added or changed, at its path below\n"
    "NEW_DIR, with an update.ini (code page 932) listing them in the key file\n"
    "and the other keys from the options (a key not given is left out: the\n"
    "updater's default). Files removed in NEW_DIR are warned of: the updater\n"
    "cannot remove files.\n"
    "Refused, with nothing written, when the updater would not install what\n"
    "changed: an executable or DLL whose bytes changed while its FileVersion\n"
    "text (none counts as \"\") does not compare higher as text than the old\n"
    "one's; a .pak whose revision text compares lower, or that is damaged;\n"
    "any file the updater would skip or ask about; a name the updater refuses\n"
    "or update.ini cannot list (\";\", \"\\n\" and \"\\t\", which its reader turns\n"
    "into a line break and a tab, a tab, a leading space); a name of NEW_DIR\n"
    "that code page 932 cannot hold; two names that differ only in case; an\n"
    "update.ini in NEW_DIR's top folder.\n"
    "  --brand B, --name N, --title T, --version V   the keys Brand, Name,\n"
    "           Title and Version (code page 932 texts)\n"
    "  --json   one JSON document: out, written, items[] (item, change,\n"
    "           kind, oldVersion, newVersion), removed[], problems[]\n"
    "           (severity, message)\n"
    "Exit codes: 0 written, 1 refused (nothing written), 2 bad usage or a\n"
    "folder that cannot be read or written.\n";

namespace {

// One file of the update: added or changed in NEW_DIR.
class MadeItem {
public:
    std::string name;  // below both folders (code page 932)
    std::wstring path;  // in NEW_DIR
    bool changed;      // else added
    ItemKind kind;
    std::string oldVersion, newVersion;  // code page 932

    MadeItem() : changed(false), kind(ItemPlain) {}
    virtual ~MadeItem() {}
};

const struct {
    const char* option;
    const char* key;
} kKeys[] = {{"--brand", "Brand"}, {"--name", "Name"}, {"--title", "Title"}, {"--version", "Version"}};

// What the updater's reader takes for key from text; "" when nothing.
std::string ReadBack(const std::string& text, const char* key)
{
    String settings;
    settings.Assign(text.c_str());
    String value;
    FindSettingValue(settingsSection, key, value, settings);
    return TextOf(value);
}

std::string Version(const std::wstring& path, ItemKind kind)
{
    String text;
    if (kind == ItemExecutable)
        GetFileVersionText(path, text);
    else if (kind == ItemArchive)
        GetArchiveRevisionText(path, text);
    return TextOf(text);
}

bool SameBytes(const std::wstring& a, const std::wstring& b)
{
    const Handle one(CreateFileW(a.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    const Handle two(CreateFileW(b.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!one.Valid())
        ThrowSystemError("cannot read " + Shown(a), a);
    if (!two.Valid())
        ThrowSystemError("cannot read " + Shown(b), b);
    std::vector<char> x(256 * 1024), y(256 * 1024);
    for (;;) {
        const uint32_t got = ReadFully(one.Get(), x.data(), uint32_t(x.size()), Shown(a));
        if (ReadFully(two.Get(), y.data(), uint32_t(y.size()), Shown(b)) != got ||
            std::memcmp(x.data(), y.data(), got) != 0)
            return false;
        if (got < x.size())
            return true;
    }
}

std::string VersionRefusal(const MadeItem& item, const std::wstring& oldPath);

// Why the updater would not install item over the old file, or "". The
// current folder is the new release's.
std::string Refusal(MadeItem& item, const std::wstring& oldPath)
{
    item.newVersion = Version(item.path, item.kind);
    if (item.changed)
        item.oldVersion = Version(oldPath, item.kind);
    try {
        if (item.kind == ItemArchive)
            CheckArchiveIsSound(item.path);
    } catch (const OCErrorException& failure) {
        return "it is damaged: the updater would stop with its error box \"" +
               Utf8(failure.wideMessage) + "\" (see \"updtool verify\")";
    }
    try {
        return VersionRefusal(item, oldPath);
    } catch (const OCErrorException& failure) {
        return "the updater would stop with its error box \"" + Utf8(failure.wideMessage) + "\"";
    }
}

std::string VersionRefusal(const MadeItem& item, const std::wstring& oldPath)
{
    if (item.kind == ItemExecutable && item.changed) {
        // Stricter than the updater, which copies an equal text again: a
        // change the FileVersion does not show cannot be told from the old
        // release.
        String newText;
        newText.Assign(item.newVersion.c_str());
        if (item.newVersion.empty())
            return "its bytes changed, but it has no FileVersion (the old one has " +
                   (item.oldVersion.empty() ? std::string("none either") : Quoted(item.oldVersion)) +
                   "): give it one that sorts after the old one's as text";
        if (newText.CompareNoCase(item.oldVersion.c_str()) <= 0)
            return "its bytes changed, but its FileVersion " + Quoted(item.newVersion) +
                   " does not compare higher than the old " + Quoted(item.oldVersion) +
                   " as text (the updater compares the texts, so 1.10 sorts before 1.9)";
    }
    // The updater's own decision, from the folder that holds the item as
    // the update folder will.
    UpdateDecision decision;
    if (!DecideUpdate(item.name.c_str(), oldPath, decision))
        return "the updater would skip it: " + Quoted(item.newVersion) +
               " compares lower than the installed " + Quoted(item.oldVersion) + " as text";
    return std::string();
}

// Why name cannot be an item of update.ini, or "".
std::string ListingRefusal(const std::string& name)
{
    const ItemRefusal refusal = JudgeItem(name.c_str());
    if (refusal != ItemAccepted)
        return "the updater refuses such an item (a \"..\" part, a rooted path, \":\" or a "
               "device name)";
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

class Made {
public:
    std::vector<MadeItem> items;
    std::vector<std::string> removed;  // code page 932
    Problems problems;
    std::string ini;  // update.ini's bytes

    Made() {}
    virtual ~Made() {}
};

// Files of both folders, compared; refusals into made.problems.
void Compare(const std::wstring& oldDir, const std::wstring& newDir, Made& made)
{
    FolderWalk olds(oldDir, {}), news(newDir, {});
    olds.Run();
    news.Run();
    WorkingFolder working;
    if (!working.Enter(newDir))
        ThrowSystemError("cannot enter the folder " + Shown(newDir), newDir);
    for (const std::string& refusal : news.refusals)
        made.problems.Error(refusal);
    for (const std::string& warning : news.warnings)
        made.problems.Warning(warning);

    std::vector<std::string> newNames;
    for (const SourceFile& file : news.files)
        newNames.push_back(file.name);
    const LookupOrder order(newNames);
    for (const auto& pair : order.sameName)
        made.problems.Error(Quoted(newNames[pair.first]) + " and " + Quoted(newNames[pair.second]) +
                            " are one name to the updater, which ignores case");
    std::vector<std::string> oldNames;
    for (const SourceFile& file : olds.files)
        oldNames.push_back(file.name);
    const LookupOrder oldOrder(oldNames);

    for (size_t index : order.order) {
        const SourceFile& file = news.files[index];
        const std::wstring relative = WideFrom932(file.name.c_str());
        const std::wstring oldPath = oldDir + L"\\" + relative;
        MadeItem item;
        item.name = file.name;
        item.path = file.path;
        item.kind = KindOfItem(file.name.c_str());
        const DWORD oldAttributes = GetFileAttributesW(oldPath.c_str());
        item.changed = oldAttributes != INVALID_FILE_ATTRIBUTES;
        if (item.changed && (oldAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            made.problems.Error(Quoted(file.name) + " is a folder in the old release: the updater "
                                "cannot replace a folder with a file");
            continue;
        }
        if (item.changed && SameBytes(file.path, oldPath))
            continue;
        std::string refusal = ListingRefusal(file.name);
        if (refusal.empty() && LookupKeyOf(file.name) == LookupKeyOf(settingsFileName))
            refusal = "update.ini is the update's own settings file";
        if (refusal.empty()) {
            // A folder on the way that is a file in the old release.
            std::wstring folder = ContainingFolder(oldPath);
            while (folder.size() > oldDir.size() &&
                   GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES)
                folder = ContainingFolder(folder);
            const DWORD attributes = GetFileAttributesW(folder.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                refusal = "its folder " + Shown(folder) + " is a file in the old release";
        }
        if (refusal.empty())
            refusal = Refusal(item, oldPath);
        if (!refusal.empty()) {
            made.problems.Error(Quoted(file.name) + ": " + refusal);
            continue;
        }
        made.items.push_back(item);
    }
    for (size_t index : oldOrder.order) {
        const std::wstring newPath = newDir + L"\\" + WideFrom932(olds.files[index].name.c_str());
        if (GetFileAttributesW(newPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
            made.removed.push_back(olds.files[index].name);
            made.problems.Warning(Quoted(olds.files[index].name) +
                                  " is removed in the new release: the updater cannot remove "
                                  "files, so it stays installed");
        }
    }
    if (made.items.empty() && made.problems.Count(SeverityError) == 0)
        made.problems.Error("nothing was added or changed: an update would list no items");
}

// update.ini: the keys given, then the file list; each read back with the
// updater's own reader.
bool WriteIni(const CommandLine& line, Made& made)
{
    made.ini = "[update]\r\n";
    std::vector<std::pair<const char*, std::string>> given;
    for (const auto& key : kKeys) {
        const std::wstring* value = line.Value(key.option);
        if (!value)
            continue;
        std::string text;
        if (!ExactlyTo932(*value, text) || text.find_first_of("\r\n") != std::string::npos) {
            made.problems.Error(std::string(key.option) + " " + Shown(*value) +
                                " cannot be written to update.ini (characters beyond code page "
                                "932, or a line break)");
            continue;
        }
        made.ini += std::string(key.key) + "=" + text + "\r\n";
        given.emplace_back(key.key, text);
    }
    std::string list;
    for (const MadeItem& item : made.items)
        list += (list.empty() ? "" : ";") + item.name;
    made.ini += "file=" + list + "\r\n";
    for (const auto& key : given) {
        const std::string read = ReadBack(made.ini, key.first);
        if (read != key.second)
            made.problems.Error(std::string(key.first) + " " + Quoted(key.second) +
                                " would be read by the updater as " + Quoted(read) +
                                " (\"\\n\" and \"\\t\" become a line break and a tab, a tab ends "
                                "the value, leading spaces are skipped)");
    }
    if (!made.items.empty() && ReadBack(made.ini, "file") != list)
        made.problems.Error("the file list would not be read back as written");
    return made.problems.Count(SeverityError) == 0;
}

// Writes the files and update.ini into out, each as a new file renamed
// into place when complete; on a failure removes what it wrote.
class Writer {
public:
    explicit Writer(const std::wstring& out) : out_(out) {}
    virtual ~Writer()
    {
        // Not committed: the files written so far go again, newest first.
        for (auto path = written_.rbegin(); path != written_.rend(); ++path) {
            if (!DeleteFileW(path->c_str()))
                RemoveDirectoryW(path->c_str());
        }
    }

    void Folder(const std::wstring& folder)
    {
        if (GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
            return;
        Folder(ContainingFolder(folder));
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            ThrowSystemError("cannot create the folder " + Shown(folder), folder);
        written_.push_back(folder);
    }

    void File(const std::wstring& relative, const std::wstring& source, const std::string& bytes)
    {
        const std::wstring target = out_ + L"\\" + relative;
        Folder(ContainingFolder(target));
        TemporaryFile file;
        if (!file.Create(ContainingFolder(target), L"updtool"))
            ThrowSystemError("cannot create a file beside " + Shown(target), target);
        FILE_BASIC_INFO times = {};
        bool timed = false;
        if (source.empty()) {
            WriteFully(file.Get(), bytes.data(), uint32_t(bytes.size()), Shown(target));
        } else {
            const Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
            if (!in.Valid())
                ThrowSystemError("cannot read " + Shown(source), source);
            std::vector<char> buffer(256 * 1024);
            for (uint32_t got; (got = ReadFully(in.Get(), buffer.data(), uint32_t(buffer.size()),
                                                Shown(source))) > 0;)
                WriteFully(file.Get(), buffer.data(), got, Shown(target));
            timed = GetFileInformationByHandleEx(in.Get(), FileBasicInfo, &times, sizeof times) != 0;
        }
        if (!file.Flush())
            ThrowSystemError("cannot write " + Shown(target) + " to disk", target);
        // The new release's times travel with the file: the updater gives
        // them to the installed copy.
        if (timed) {
            times.ChangeTime.QuadPart = 0;
            times.FileAttributes = 0;
            SetFileInformationByHandle(file.Get(), FileBasicInfo, &times, sizeof times);
        }
        if (!file.RenameOver(target, false))
            ThrowSystemError("cannot put " + Shown(target) + " in place", target);
        written_.push_back(target);
    }

    void Commit() { written_.clear(); }

private:
    std::wstring out_;
    std::vector<std::wstring> written_;
};

void Print(bool json, const std::wstring& out, bool written, const Made& made)
{
    if (json) {
        JsonWriter writer;
        writer.BeginObject();
        writer.Field("out", Utf8(out));
        writer.Flag("written", written);
        writer.Key("items");
        writer.BeginArray();
        for (const MadeItem& item : made.items) {
            writer.BeginObject();
            writer.Field("item", Utf8From932(item.name));
            writer.Field("change", item.changed ? "changed" : "added");
            writer.Field("kind", KindName(item.kind));
            writer.Field("oldVersion", Utf8From932(item.oldVersion));
            writer.Field("newVersion", Utf8From932(item.newVersion));
            writer.EndObject();
        }
        writer.EndArray();
        writer.Key("removed");
        writer.BeginArray();
        for (const std::string& name : made.removed)
            writer.Text(Utf8From932(name));
        writer.EndArray();
        writer.Key("problems");
        writer.BeginArray();
        for (const Problem& problem : made.problems.found) {
            writer.BeginObject();
            writer.Field("severity", SeverityName(problem.severity));
            writer.Field("message", problem.message);
            writer.EndObject();
        }
        writer.EndArray();
        writer.EndObject();
        WriteOut(writer.Document());
        return;
    }
    std::string text;
    if (!made.items.empty()) {
        text += "items:\n";
        TextTable table;
        for (const MadeItem& item : made.items) {
            std::string versions;
            if (item.kind != ItemPlain)
                versions = (item.changed ? Quoted(item.oldVersion) + " -> " : std::string()) +
                           Quoted(item.newVersion);
            table.Add({item.changed ? "changed" : "added", Quoted(item.name), KindName(item.kind),
                       versions});
        }
        text += table.Text(2);
    }
    if (!made.problems.found.empty()) {
        text += "problems:\n";
        for (const Problem& problem : made.problems.found)
            text += std::string("  ") + SeverityName(problem.severity) + ": " + problem.message + "\n";
    }
    const size_t errors = made.problems.Count(SeverityError);
    if (written)
        text += "made the update in " + Utf8(out) + ": " + std::to_string(made.items.size()) +
                (made.items.size() == 1 ? " item" : " items") + " listed in update.ini\n";
    else
        text += "refused: " + std::to_string(errors) + (errors == 1 ? " error" : " errors") +
                "; nothing was written\n";
    WriteOut(text);
}

bool Inside(const std::wstring& path, const std::wstring& folder)
{
    return path.size() >= folder.size() &&
           CompareStringOrdinal(path.c_str(), int(folder.size()), folder.c_str(), int(folder.size()),
                                TRUE) == CSTR_EQUAL &&
           (path.size() == folder.size() || path[folder.size()] == L'\\' ||
            EndsWithSeparator(folder));
}

int Make(const CommandLine& line)
{
    const bool json = line.Has("--json");
    const std::wstring oldDir = FullPath(PathArgument(line.positional[0]));
    const std::wstring newDir = FullPath(PathArgument(line.positional[1]));
    const std::wstring out = FullPath(PathArgument(line.positional[2]));
    for (size_t i = 0; i < 2; ++i) {
        const std::wstring& dir = i == 0 ? oldDir : newDir;
        const DWORD attributes = dir.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(dir.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return Fail("make", Shown(line.positional[i]) + " is not a folder");
    }
    if (out.empty())
        return Fail("make", Shown(line.positional[2]) + " is not a usable folder name");
    if (Inside(out, oldDir) || Inside(out, newDir) || Inside(oldDir, out) || Inside(newDir, out))
        return Fail("make", "the update folder must lie outside both releases");
    const DWORD outAttributes = GetFileAttributesW(out.c_str());
    if (outAttributes != INVALID_FILE_ATTRIBUTES) {
        if (!(outAttributes & FILE_ATTRIBUTE_DIRECTORY))
            return Fail("make", Shown(out) + " is a file");
        if (FolderListing(out + L"\\*").Next())
            return Fail("make", Shown(out) + " is not empty: the update goes into a new or empty "
                                             "folder");
    }

    Made made;
    try {
        Compare(oldDir, newDir, made);
    } catch (const ToolError& error) {
        return Fail("make", error.message);
    }
    const bool sound = made.problems.Count(SeverityError) == 0 && WriteIni(line, made);
    if (!sound) {
        Print(json, out, false, made);
        return ExitProblems;
    }
    try {
        Writer writer(out);
        writer.Folder(out);
        for (const MadeItem& item : made.items)
            writer.File(WideFrom932(item.name.c_str()), item.path, std::string());
        writer.File(L"update.ini", std::wstring(), made.ini);
        writer.Commit();
    } catch (const ToolError& error) {
        return Fail("make", error.message + "; nothing was left in " + Shown(out));
    }
    Print(json, out, true, made);
    return ExitOk;
}

}  // namespace

int RunMake(const Arguments& args)
{
    std::vector<OptionSpec> specs = {OptionSpec("--json", false)};
    for (const auto& key : kKeys)
        specs.emplace_back(key.option, true);
    CommandLine line;
    if (!line.Parse("make", args, specs))
        return ExitTrouble;
    if (line.positional.size() != 3)
        return UsageError("make", "name the old release, the new release and the update folder");
    try {
        return Make(line);
    } catch (const OCErrorException& failure) {
        return Fail("make", Utf8(failure.wideMessage));
    } catch (const std::bad_alloc&) {
        return Fail("make", "out of memory");
    }
}
