#include "updtool/commands/commands.h"

#include <windows.h>
#include "base/exceptions.h"
#include "base/text_932.h"
#include "pak/archive_revision.h"
#include "paths/device_name.h"
#include "paths/wide_paths.h"
#include "paths/temporary_file.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_names.h"
#include "updtool/folders/folder_walk.h"
#include "updtool/archives/pak_builder.h"
#include "updtool/archives/revision_rule.h"
#include "update/update_decision.h"
#include "base/shown_text.h"
#include "updtool/console/tool_output.h"
#include "updtool/folders/working_folder.h"

const char* const packUsage =
    "usage: updtool pack OUT.pak DIR [--format 0|1|2] [--revision N] [--after OLD.pak]\n"
    "                   [--store PATTERN]... [--exclude PATTERN]... [--level 0-9] [-q]\n"
    "Makes an archive of every file below DIR, each named by its path below DIR\n"
    "(code page 932), in the lookup's order: the same files give the same bytes.\n"
    "  --format F        0: plain index, raw data; 1: packed index, compressed\n"
    "                    entries; 2 (default): as 1, with a revision\n"
    "  --revision N      format 2's revision (a signed 32-bit number)\n"
    "  --after OLD.pak   OLD.pak's revision plus one unless --revision is given;\n"
    "                    refused when the updater would not take it as newer (it\n"
    "                    compares revisions as text: 10 sorts before 9) or when\n"
    "                    verify does not pass OLD.pak\n"
    "  --store PATTERN   store matching entries raw (* any run of characters,\n"
    "                    ? one character, case ignored); may be repeated\n"
    "  --exclude PATTERN leave out matching files and folders; may be repeated\n"
    "  --level L         zlib level 0-9 (default 6)\n"
    "  -q                no progress line and no summary\n"
    "Exit code 1, all refusals told at once and nothing written, for names beyond\n"
    "code page 932, longer than 200 bytes or refused by extract, and names that\n"
    "differ only in case. OUT.pak is written beside itself, then renamed.\n";

namespace {

// A Windows path holds 259 characters; an install folder such as
// "C:\Program Files (x86)\Brand\Product" and its backslash take up to 59.
const size_t kMaxNameBytes = 200;

// The revision format 2 gets, checked against OLD.pak's when there is one:
// ExitOk (a revision the updater would not take is a refusal), or the exit
// code after the message when an argument is wrong or OLD.pak cannot be read.
int ChooseRevision(const CommandLine& line, int32_t& revision, std::vector<std::string>& refusals)
{
    const std::wstring* given = line.Value("--revision");
    const std::wstring* after = line.Value("--after");
    long long value = 0;
    if (given && !ParseNumber(*given, INT32_MIN, INT32_MAX, value))
        return UsageError("pack", "--revision takes a signed 32-bit number, not " + Shown(*given));
    revision = int32_t(value);
    if (!after)
        return ExitOk;

    // Only an archive verify passes: a text file or a damaged archive would
    // read as revision 0 or not at all.
    const std::wstring old = PathArgument(*after);
    const std::string oldShown = Shown(old);
    {
        ArchiveReport report;
        if (int code = CheckArchiveArgument("pack", old, report))
            return code;
        if (report.problemCount != 0) {
            const ArchiveProblem& first = report.problems.front();
            refusals.push_back(oldShown + " is no sound archive (" +
                               (first.forEntry ? Quoted(first.entry) + ": " : "") +
                               ProblemMessage(first) + "; see \"updtool verify\")");
            return ExitOk;
        }
    }
    String text;
    GetArchiveRevisionText(old, text);
    long long oldValue = 0;
    if (text.IsEmpty() || !ParseNumber(WideFrom932(text), INT32_MIN, INT32_MAX, oldValue))
        return Fail("pack", "cannot read the revision of " + oldShown);
    const std::string oldText = TextOf(text);
    if (!given) {
        if (oldValue == INT32_MAX) {
            refusals.push_back(oldShown + " has the highest revision there is, " + oldText);
            return ExitOk;
        }
        revision = int32_t(oldValue + 1);
    }
    const std::string newText = RevisionText(revision);
    if (CompareVersionTexts(newText.c_str(), oldText.c_str()) > 0)
        return ExitOk;
    std::string message;
    if (newText == oldText)
        message = "revision " + newText + " is the revision of " + oldShown +
                  ": the updater copies an archive of the same revision text again, so either "
                  "would replace the other wherever it is shipped";
    else
        message = "revision " + newText + " would not be taken as newer than " + oldShown +
                  ", revision " + oldText + ": the updater compares revision texts as text, so \"" +
                  newText + "\" sorts before \"" + oldText + "\" and the archive would be skipped as older";
    int32_t suggestion = 0;
    if (RevisionAfter(int32_t(oldValue), suggestion))
        message += "; use a revision whose text sorts after \"" + oldText + "\", e.g. --revision " +
                   std::to_string(suggestion);
    else
        message += "; no 32-bit revision above " + oldText + " sorts after it as text";
    refusals.push_back(message);
    return ExitOk;
}

// Puts the files into the lookup's order (into items) and adds the names
// that cannot be stored to refusals; warns of names that begin others.
void OrderEntries(const FolderWalk& walk, std::vector<const SourceFile*>& items,
                  std::vector<std::string>& refusals)
{
    refusals.insert(refusals.end(), walk.refusals.begin(), walk.refusals.end());
    std::vector<const SourceFile*> storable;
    std::vector<std::string> names;
    for (const SourceFile& file : walk.files) {
        const std::string refusal = EntryNameRefusal(file.name);
        const std::string why =
            file.name.size() > kMaxNameBytes
                ? "its name is longer than " + std::to_string(kMaxNameBytes) + " bytes"
                : !refusal.empty() ? "the name " + refusal : std::string();
        if (!why.empty() || file.size > UINT32_MAX)
            refusals.push_back("cannot store " + Quoted(file.name) + ": " +
                               (why.empty() ? "it is larger than an entry can be (4 GiB)" : why));
        if (!why.empty())
            continue;
        storable.push_back(&file);
        names.push_back(file.name);
    }
    const LookupOrder order(names);
    for (size_t i : order.order)
        items.push_back(storable[i]);
    for (const auto& pair : order.sameName)
        refusals.push_back("cannot store both " + Quoted(names[pair.first]) + " and " +
                           Quoted(names[pair.second]) +
                           ": the updater ignores case, so they are one name");
    for (const auto& pair : order.begins) {
        const std::string shorter = Quoted(names[pair.first]), longer = Quoted(names[pair.second]);
        WriteErr("updtool pack: warning: " + shorter + " begins " + longer +
                 ": the lookup finds it by its name, as it comes first, but without it would "
                 "deliver " + longer + "\n");
    }
}

class PackRequest {
public:
    long long format = 2;
    long long level = 6;  // zlib's default
    int32_t revision = 0;
    bool quiet = false;
    std::wstring out;  // full paths
    std::wstring dir;
    std::string outShown;
    std::string dirShown;
    std::vector<std::string> storePatterns;
    std::vector<std::string> excludePatterns;

    virtual ~PackRequest() {}
};

// The options; ExitOk, or the exit code after the usage message.
int ParseOptions(const CommandLine& line, PackRequest& request)
{
    if (line.positional.size() != 2)
        return UsageError("pack", "name the archive to write and the folder to pack");
    if (line.Value("--format") && !ParseNumber(*line.Value("--format"), 0, 2, request.format))
        return UsageError("pack", "--format takes 0, 1 or 2");
    if (line.Value("--level") && !ParseNumber(*line.Value("--level"), 0, 9, request.level))
        return UsageError("pack", "--level takes 0 to 9");
    const bool revisionGiven = line.Has("--revision") || line.Has("--after");
    if (request.format != 2 && revisionGiven)
        return UsageError("pack", "formats 0 and 1 carry no revision (the updater reads 0): "
                                  "--revision and --after need format 2");
    if (request.format == 2 && !revisionGiven)
        return UsageError("pack", "format 2 needs --revision N or --after OLD.pak");
    if (request.format == 0 && (line.Has("--store") || line.Has("--level")))
        return UsageError("pack", "format 0 stores every entry raw: --store and --level need "
                                  "format 1 or 2");
    if (int code = EntryTexts("pack", line.Values("--store"), "--store", request.storePatterns))
        return code;
    if (int code = EntryTexts("pack", line.Values("--exclude"), "--exclude", request.excludePatterns))
        return code;
    request.quiet = line.Has("-q");
    return ExitOk;
}

// The archive to write and the folder to read; ExitOk, or the exit code
// after the message.
int CheckPlaces(const CommandLine& line, PackRequest& request)
{
    const std::wstring outArgument = PathArgument(line.positional[0]);
    const std::wstring dirArgument = PathArgument(line.positional[1]);
    request.out = FullPath(outArgument);
    request.dir = FullPath(dirArgument);
    request.outShown = Shown(outArgument);
    request.dirShown = Shown(dirArgument);
    const std::wstring& out = request.out;
    if (out.empty() || outArgument.back() == L'\\' || out.back() == L'\\')
        return Fail("pack", request.outShown + " is not a file name");
    if (NamesDevice(LeafOf(out)))
        return Fail("pack", request.outShown + " names a device, not a file");
    const DWORD outAttributes = GetFileAttributesW(out.c_str());
    if (outAttributes != INVALID_FILE_ATTRIBUTES && (outAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("pack", request.outShown + " is a folder");
    // Windows refuses to replace a read-only file; so does the tool on
    // every system.
    if (outAttributes != INVALID_FILE_ATTRIBUTES && (outAttributes & FILE_ATTRIBUTE_READONLY))
        return Fail("pack", request.outShown + " is read-only");
    const std::wstring& dir = request.dir;
    const DWORD dirAttributes = dir.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(dir.c_str());
    if (dirAttributes == INVALID_FILE_ATTRIBUTES)
        return Fail("pack", SystemErrorText("cannot read the folder " + request.dirShown,
                                            GetLastError(), dir));
    if (!(dirAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("pack", request.dirShown + " is not a folder");
    return ExitOk;
}

// Writes the items into the archive, beside it first; throws ToolError.
void WriteArchive(const PackRequest& request, const std::vector<const SourceFile*>& items)
{
    const NamePatterns store(request.storePatterns);
    const std::wstring folder = ContainingFolder(request.out);
    TemporaryFile archive;
    if (!archive.Create(folder, kToolPrefix))
        ThrowSystemError("cannot create a new file beside " + request.outShown, request.out);
    PakBuilder builder(uint32_t(request.format), request.revision, int(request.level), folder);
    Progress progress("pack", request.quiet);
    for (const SourceFile* item : items) {
        builder.Add(item->name, item->path, item->size,
                    request.format != 0 && !store.Matches(LookupKeyOf(item->name)));
        progress.Update(builder.entries, uint32_t(items.size()), builder.dataRead);
    }
    progress.Done();
    const uint64_t size = builder.Finish(archive);
    if (!archive.Flush())
        ThrowSystemError("cannot write " + request.outShown + " to disk", request.out);
    if (!archive.RenameOver(request.out, true))
        ThrowSystemError("cannot put " + request.outShown + " in place", request.out);
    if (request.quiet)
        return;
    WriteOut("packed " + Plural(builder.entries, "entry", "entries") + " (" +
             std::to_string(builder.compressedEntries) + " compressed) into " + request.outShown +
             ": format " + std::to_string(request.format) +
             (request.format == 2 ? ", revision " + RevisionText(request.revision) : std::string()) +
             ", " + std::to_string(size) + " bytes\n");
}

}  // namespace

const OptionSpecs packOptions = {{"--format", true}, {"--revision", true}, {"--after", true},
                                 {"--store", true},  {"--exclude", true},  {"--level", true},
                                 {"-q", false}};

int RunPack(const CommandLine& line)
{
    PackRequest request;
    if (int code = ParseOptions(line, request))
        return code;
    // Every refusal is gathered before any is reported, so that one run
    // names all there is to fix.
    std::vector<std::string> refusals;
    if (int code = request.format == 2 ? ChooseRevision(line, request.revision, refusals) : ExitOk)
        return code;
    if (int code = CheckPlaces(line, request))
        return code;
    try {
        const NamePatterns exclude(request.excludePatterns);
        FolderWalk walk(request.dir, {request.out}, &exclude);
        walk.Run();
        for (const std::string& warning : walk.warnings)
            WriteErr("updtool pack: warning: " + warning + "\n");
        std::vector<const SourceFile*> items;
        OrderEntries(walk, items, refusals);
        // The updater reads no index of 0 bytes; format 0 has an empty one.
        if (walk.files.empty() && walk.refusals.empty() && request.format != 0)
            refusals.push_back(request.dirShown + " holds no files, and formats 1 and 2 cannot "
                                                  "hold an empty index (format 0 can)");
        for (const std::string& refusal : refusals)
            WriteErr("updtool pack: " + refusal + "\n");
        if (!refusals.empty())
            return Fail("pack", Plural(refusals.size(), "refusal", "refusals") + "; nothing was written",
                        ExitProblems);
        WriteArchive(request, items);
    } catch (const ToolError& error) {
        return Fail("pack", error.message + "; nothing was written");
    } catch (const OCErrorException& failure) {
        // A write to a file beside the archive: the disk is the archive's.
        return Fail("pack", SystemErrorText("cannot write " + request.outShown, failure.code,
                                            request.out) + "; nothing was written");
    }
    return ExitOk;
}
