#include "updtool/commands/commands.h"

#include <windows.h>
#include "base/exceptions.h"
#include "base/text_932.h"
#include "paths/device_name.h"
#include "paths/folder_listing.h"
#include "paths/item_rule.h"
#include "paths/wide_paths.h"
#include "paths/temporary_file.h"
#include "settings/update_settings.h"
#include "updtool/console/command_report.h"
#include "updtool/archives/archive_input.h"
#include "update/item_words.h"
#include "updtool/signing/folder_signing.h"
#include "updtool/releases/release_diff.h"
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"
#include "updtool/folders/working_folder.h"

const char* const makeUsage =
    "usage: updtool make OLD_DIR NEW_DIR OUT_DIR [--brand B] [--name N] [--title T]\n"
    "                   [--version V] [--all-or-nothing] [--updater PATH]\n"
    "                   [--exclude PATTERN]... [--json] [-q]\n"
    "                   [--key KEYFILE --sequence N [--expires DATE]\n"
    "                    [--trust-key KEY]... [--revoke-key KEY]...]\n"
    "Writes into OUT_DIR (new, or an empty folder) every file of NEW_DIR added or\n"
    "changed since OLD_DIR, at its path, and an update.ini (code page 932)\n"
    "listing them. Refused, with nothing written, when the updater would not\n"
    "install a shipped file: a FileVersion or revision text that compares lower\n"
    "as text, a lost FileVersion, a damaged .pak, a name that the updater,\n"
    "Windows, code page 932 or update.ini cannot take, two names that differ\n"
    "only in case. A key not given, a removed file and an equal version text\n"
    "are warnings.\n"
    "  --brand B, --name N, --title T, --version V   the keys Brand, Name,\n"
    "                      Title and Version (code page 932 texts)\n"
    "  --all-or-nothing    AllOrNothing=1: every item in place, or none\n"
    "  --updater PATH      copy the updater into OUT_DIR, under its name\n"
    "  --exclude PATTERN   leave out what matches in both releases, as pack\n"
    "  --json              one JSON document: out, written, updater, items[]\n"
    "                      (item, change, kind, oldVersion, newVersion),\n"
    "                      removed[], problems[] (severity, message), summary\n"
    "  -q                  no progress line\n"
    "  --key KEYFILE ...   sign what is written, as sign does (see sign --help)\n"
    "Exit codes: 0 written, 1 refused (nothing written), 2 bad usage or a\n"
    "folder that cannot be read or written.\n";

namespace {

const struct {
    const char* option;
    const char* key;
    String UpdateSettings::*value;
} kKeys[] = {{"--brand", "Brand", &UpdateSettings::brand},
             {"--name", "Name", &UpdateSettings::name},
             {"--title", "Title", &UpdateSettings::title},
             {"--version", "Version", &UpdateSettings::version}};

// update.ini: the keys given, the file list, AllOrNothing; each read back
// with the updater's own reader. A key left out is the updater's default.
std::string SettingsText(const CommandLine& line, ReleaseDiff& diff)
{
    UpdateSettings defaults;
    defaults.SetDefaults();
    std::string ini = "[update]\r\n", missing, values, list;
    std::vector<std::pair<const char*, std::string>> given;
    for (const auto& key : kKeys) {
        const std::wstring* value = line.Value(key.option);
        std::string text;
        if (!value) {
            missing += std::string(missing.empty() ? "" : ", ") + key.option;
            values += std::string(values.empty() ? "" : ", ") + key.key + " " +
                      Quoted(defaults.*key.value);
        } else if (!ExactlyTo932(*value, text) || text.find_first_of("\r\n") != std::string::npos) {
            diff.problems.Error(std::string(key.option) + " " + Shown(*value) +
                                " cannot be written to update.ini (characters beyond code page "
                                "932, or a line break)");
        } else {
            ini += std::string(key.key) + "=" + text + "\r\n";
            given.emplace_back(key.key, text);
        }
    }
    if (!missing.empty())
        diff.problems.Warning("no " + missing + ": the updater will use its defaults, " + values);
    for (const MadeItem& item : diff.items)
        list += (list.empty() ? "" : ";") + item.name;
    ini += "file=" + list + "\r\n" + (line.Has("--all-or-nothing") ? "AllOrNothing=1\r\n" : "");
    for (const auto& key : given) {
        const std::string read = ReadBack(ini, key.first);
        if (read != key.second)
            diff.problems.Error(std::string(key.first) + " " + Quoted(key.second) +
                                " would be read by the updater as " + Quoted(read) +
                                " (\"\\n\" and \"\\t\" become a line break and a tab, a tab ends "
                                "the value, leading spaces are skipped)");
    }
    if (!diff.items.empty() && ReadBack(ini, "file") != list)
        diff.problems.Error("the file list would not be read back as written");
    return ini;
}

// Writes the files and update.ini into out, each as a new file renamed
// into place when complete; on a failure removes what it wrote.
class Writer {
public:
    uint64_t bytes;

    explicit Writer(const std::wstring& out) : bytes(0), out_(out) {}
    virtual ~Writer()
    {
        // Not committed: the files written so far go again, newest first.
        for (auto path = written_.rbegin(); path != written_.rend(); ++path)
            if (!DeleteFileW(path->c_str()))
                RemoveDirectoryW(path->c_str());
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

    // relative: below out. From source, or (source empty) of bytes.
    void File(const std::wstring& relative, const std::wstring& source, const std::string& text)
    {
        const std::wstring target = out_ + L"\\" + relative;
        Folder(ContainingFolder(target));
        TemporaryFile file;
        if (!file.Create(ContainingFolder(target), kToolPrefix))
            ThrowSystemError("cannot create a file beside " + Shown(target), target);
        try {
            if (source.empty())
                file.Write(text.data(), uint32_t(text.size()));
            else
                Copy(source, file);
        } catch (const OCErrorException& failure) {
            throw ToolError(SystemErrorText("cannot write " + Shown(target), failure.code, target));
        }
        if (!file.Flush())
            ThrowSystemError("cannot write " + Shown(target) + " to disk", target);
        if (!file.RenameOver(target, false))
            ThrowSystemError("cannot put " + Shown(target) + " in place", target);
        written_.push_back(target);
    }

    void Commit() { written_.clear(); }

private:
    void Copy(const std::wstring& source, TemporaryFile& file)
    {
        Handle in;
        OpenListedFile(in, source, Shown(source));
        std::vector<char> buffer(256 * 1024);
        for (uint32_t got = 1; got > 0; bytes += got) {
            got = ReadListedFile(in.Get(), buffer.data(), uint32_t(buffer.size()), Shown(source));
            file.Write(buffer.data(), got);
        }
        // The new release's times travel with the file: the updater gives
        // them to the installed copy.
        FILE_BASIC_INFO times = {};
        if (GetFileInformationByHandleEx(in.Get(), FileBasicInfo, &times, sizeof times)) {
            times.ChangeTime.QuadPart = 0;
            times.FileAttributes = 0;
            SetFileInformationByHandle(file.Get(), FileBasicInfo, &times, sizeof times);
        }
    }

    std::wstring out_;
    std::vector<std::wstring> written_;
};

// The folders of a make: the two releases, the update and (may be empty)
// the updater to copy into it.
class MakeFolders {
public:
    std::wstring oldDir, newDir, out, updater;

    virtual ~MakeFolders() {}
};

void Print(bool json, const MakeFolders& folders, bool written, const ReleaseDiff& diff)
{
    Report report(json);
    report.Field("out", ReportValue::Text(Utf8(folders.out)), "");
    report.Field("written", ReportValue::Flag(written), "");
    report.Field("updater", ReportValue::Text(Utf8(LeafOf(folders.updater))), "");
    report.Begin("items", true, diff.items.empty() ? "" : "items:");
    if (!diff.items.empty())
        report.Row({ReportCell("item"), ReportCell("change"), ReportCell("kind"),
                    ReportCell("oldVersion"), ReportCell("newVersion")});
    for (const MadeItem& item : diff.items)
        report.Row({QuotedCell("item", item.name),
                    PlainCell("change", item.changed ? "changed" : "added"),
                    PlainCell("kind", KindName(item.kind)),
                    QuotedCell("oldVersion", item.oldVersion),
                    QuotedCell("newVersion", item.newVersion)});
    report.End();
    report.Begin("removed", true, diff.removed.empty() ? "" : "removed:");
    for (const std::string& name : diff.removed)
        report.Row({ReportCell(nullptr, ReportValue::Text(name)), ReportCell("\"" + name + "\"")});
    report.End();
    report.Begin("problems", true, diff.problems.found.empty() ? "" : "problems:");
    if (!diff.problems.found.empty())
        report.Row({ReportCell("severity"), ReportCell("message")});
    for (const Problem& problem : diff.problems.found)
        report.Row({PlainCell("severity", SeverityName(problem.severity)),
                    PlainCell("message", problem.message)});
    report.End();
    const std::string summary =
        !written ? "refused: " + Plural(diff.problems.Count(SeverityError), "error", "errors") +
                       "; nothing was written"
                 : "made the update in " + Utf8(folders.out) + ": " +
                       Plural(diff.items.size(), "item", "items") + " listed in update.ini" +
                       (folders.updater.empty()
                            ? "; place updater.exe beside them before shipping (or copy it "
                              "with --updater PATH)"
                            : ", with \"" + Utf8(LeafOf(folders.updater)) + "\" beside them");
    report.Field("summary", ReportValue::Text(summary), summary);
    report.Write();
}

bool Inside(const std::wstring& path, const std::wstring& folder)
{
    return path.size() >= folder.size() &&
           CompareStringOrdinal(path.c_str(), int(folder.size()), folder.c_str(), int(folder.size()),
                                TRUE) == CSTR_EQUAL &&
           (path.size() == folder.size() || path[folder.size()] == L'\\' ||
            EndsWithSeparator(folder));
}

// The folders named on line; "" or why they cannot be used.
std::string FoldersOf(const CommandLine& line, MakeFolders& folders)
{
    folders.oldDir = FullPath(PathArgument(line.positional[0]));
    folders.newDir = FullPath(PathArgument(line.positional[1]));
    folders.out = FullPath(PathArgument(line.positional[2]));
    for (size_t i = 0; i < 2; ++i)
        if (!IsFolder(i == 0 ? folders.oldDir : folders.newDir))
            return Shown(line.positional[i]) + " is not a folder";
    if (const std::wstring* updater = line.Value("--updater")) {
        folders.updater = FullPath(PathArgument(*updater));
        if (GetFileAttributesW(folders.updater.c_str()) == INVALID_FILE_ATTRIBUTES ||
            IsFolder(folders.updater) || NamesDevice(LeafOf(folders.updater)))
            return "--updater " + Shown(*updater) + " is not a file";
    }
    if (folders.out.empty())
        return Shown(line.positional[2]) + " is not a usable folder name";
    for (const std::wstring* release : {&folders.oldDir, &folders.newDir})
        if (Inside(folders.out, *release) || Inside(*release, folders.out))
            return "the update folder must lie outside both releases";
    if (GetFileAttributesW(folders.out.c_str()) == INVALID_FILE_ATTRIBUTES)
        return std::string();
    if (!IsFolder(folders.out))
        return Shown(folders.out) + " is a file";
    if (FolderListing(folders.out + L"\\*").Next())
        return Shown(folders.out) + " is not empty: the update goes into a new or empty folder";
    return std::string();
}

// A shipped file, or update.ini, where the updater is to go.
void CheckUpdaterName(const MakeFolders& folders, ReleaseDiff& diff)
{
    if (folders.updater.empty())
        return;
    const std::wstring name = LeafOf(folders.updater);
    std::vector<std::wstring> taken = {L"update.ini"};
    for (const MadeItem& item : diff.items)
        taken.push_back(WideFrom932(item.name.c_str()));
    for (const std::wstring& other : taken)
        if (CompareItemKeys(name, other) == 0)
            diff.problems.Error("--updater " + Shown(folders.updater) + " would take the place of " +
                                Shown(other) + " in the update folder");
}

void Write(const CommandLine& line, const MakeFolders& folders, const ReleaseDiff& diff,
           const std::string& ini)
{
    Writer writer(folders.out);
    writer.Folder(folders.out);
    Progress progress("make: copying", line.Has("-q"));
    uint32_t done = 0;
    for (const MadeItem& item : diff.items) {
        writer.File(WideFrom932(item.name.c_str()), item.path, std::string());
        progress.Update(++done, uint32_t(diff.items.size()), writer.bytes);
    }
    progress.Done();
    if (!folders.updater.empty())
        writer.File(LeafOf(folders.updater), folders.updater, std::string());
    writer.File(L"update.ini", std::wstring(), ini);
    writer.Commit();
}

}  // namespace

const OptionSpecs makeOptions = WithSignOptions({{"--json", false}, {"--all-or-nothing", false},
                                                  {"--updater", true}, {"--exclude", true},
                                                  {"-q", false}, {"--brand", true},
                                                  {"--name", true}, {"--title", true},
                                                  {"--version", true}});

int RunMake(const CommandLine& line)
{
    if (line.positional.size() != 3)
        return UsageError("make", "name the old release, the new release and the update folder");
    MakeFolders folders;
    const std::string unusable = FoldersOf(line, folders);
    if (!unusable.empty())
        return Fail("make", unusable);
    std::vector<std::string> patterns;
    if (int code = EntryTexts("make", line.Values("--exclude"), "--exclude", patterns))
        return code;
    SignRequest request;
    if (SignWanted(line))
        if (int code = ReadSignRequest("make", line, request))
            return code;
    ReleaseDiff diff;
    bool refused = false;
    try {
        CompareReleases(folders.oldDir, folders.newDir, NamePatterns(patterns), line.Has("-q"), diff);
        const std::string ini = SettingsText(line, diff);
        CheckUpdaterName(folders, diff);
        refused = diff.problems.Count(SeverityError) != 0;
        if (!refused)
            Write(line, folders, diff, ini);
    } catch (const ToolError& error) {
        return Fail("make", error.message + "; nothing was written");
    }
    Print(line.json, folders, !refused, diff);
    if (refused || !SignWanted(line))
        return refused ? ExitProblems : ExitOk;
    return SignFolder("make", request, folders.out, line.json);
}
