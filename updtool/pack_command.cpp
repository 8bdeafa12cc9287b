#include "updtool/commands.h"

#include <windows.h>
#include "base/exceptions.h"
#include "base/text_932.h"
#include "pak/archive_revision.h"
#include "paths/device_name.h"
#include "paths/wide_paths.h"
#include "update/temporary_file.h"
#include "updtool/archive_check.h"
#include "updtool/archive_input.h"
#include "updtool/command_line.h"
#include "updtool/entry_name_rule.h"
#include "updtool/entry_order.h"
#include "updtool/folder_walk.h"
#include "updtool/name_pattern.h"
#include "updtool/pak_builder.h"
#include "updtool/progress.h"
#include "updtool/report_text.h"
#include "updtool/revision_rule.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_error.h"
#include "updtool/tool_output.h"
#include "updtool/working_folder.h"

const char* const packUsage =
    "usage: updtool pack OUT.pak DIR [--format 0|1|2] [--revision N] [--after OLD.pak]\n"
    "                   [--store PATTERN]... [--exclude PATTERN]... [--level 0-9] [-q]\n"
    "Makes an archive of every file below DIR, each named by its path below DIR\n"
    "with backslashes (code page 932). The same files always give the same\n"
    "bytes: entries in the lookup's own order (a name before the longer names\n"
    "it begins, case ignored), a fixed level, no times or host details.\n"
    "  --format F        0: plain index, raw data; 1: packed index, compressed\n"
    "                    entries; 2 (default): as 1, with a revision\n"
    "  --revision N      format 2's revision (a signed 32-bit number)\n"
    "  --after OLD.pak   the revision follows OLD.pak's: its revision plus one\n"
    "                    unless --revision is given. Refused when the updater\n"
    "                    would not take it as newer: it compares revision texts\n"
    "                    as text, so revision 10 sorts before revision 9; and\n"
    "                    when OLD.pak is no archive that verify passes\n"
    "  --store PATTERN   store entries matching PATTERN raw (* any run of\n"
    "                    characters, backslashes too; ? one character; case\n"
    "                    ignored); may be repeated. Other entries of formats 1\n"
    "                    and 2 are compressed when that makes them smaller\n"
    "  --exclude PATTERN leave out files and folders whose names below DIR\n"
    "                    match PATTERN (as --store); may be repeated\n"
    "  --level L         zlib level 0-9 (default 6)\n"
    "  -q                no progress line and no summary\n"
    "Refused: names with characters beyond code page 932, names longer than\n"
    "200 bytes (room for an install folder of up to 58 characters within a\n"
    "Windows path), names that extract refuses (device names, \"..\" ...), and\n"
    "two names that differ only in case. A warning names each entry whose name\n"
    "begins another's: the lookup finds it by its name, as it comes first, but\n"
    "without it would deliver the longer one. OUT.pak is written as a new file\n"
    "of its own name beside it and renamed when complete; an OUT.pak below DIR\n"
    "is left out.\n";

namespace {

// A Windows path holds 259 characters; an install folder such as
// "C:\Program Files (x86)\Brand\Product" and its backslash take up to 59.
const size_t kMaxNameBytes = 200;
const int kDefaultLevel = 6;

// Patterns given on the command line, as code page 932 texts; false (after
// the message) when one has characters no name can hold.
bool PatternsOf(const CommandLine& line, const char* option, std::vector<std::string>& patterns,
                int& code)
{
    for (const std::wstring& pattern : line.Values(option)) {
        std::string converted;
        if (!ExactlyTo932(PathArgument(pattern), converted)) {
            code = UsageError("pack", std::string(option) + " " + Shown(pattern) +
                                          " has characters that no entry name can hold");
            return false;
        }
        patterns.push_back(converted);
    }
    return true;
}

// The revision format 2 gets, checked against OLD.pak's when there is one.
// False (after the message) when it is refused.
bool ChooseRevision(const CommandLine& line, int32_t& revision, int& code)
{
    const std::wstring* given = line.Value("--revision");
    const std::wstring* after = line.Value("--after");
    long long value = 0;
    if (given && !ParseNumber(*given, INT32_MIN, INT32_MAX, value)) {
        code = UsageError("pack", "--revision takes a signed 32-bit number, not " + Shown(*given));
        return false;
    }
    revision = int32_t(value);
    if (!after)
        return true;

    // Only an archive verify passes: a text file or a damaged archive would
    // read as revision 0 or not at all.
    const std::wstring old = PathArgument(*after);
    const std::string oldShown = Shown(old);
    {
        ArchiveFile archive, data;
        if ((code = OpenArchiveArgument("pack", old, archive)) != ExitOk ||
            (code = OpenArchiveArgument("pack", old, data)) != ExitOk)
            return false;
        ArchiveReport report;
        CheckArchive(archive, data, report);
        if (report.problemCount != 0) {
            const ArchiveProblem& first = report.problems.front();
            code = Fail("pack", oldShown + " is no sound archive (" +
                                    (first.forEntry ? Quoted(first.entry) + ": " : "") +
                                    first.message + "; see \"updtool verify\")");
            return false;
        }
    }
    String text;
    try {
        GetArchiveRevisionText(old, text);
    } catch (const OCErrorException&) {
        text.Clear();
    }
    long long oldValue = 0;
    if (text.IsEmpty() || !ParseNumber(WideFrom932(text), INT32_MIN, INT32_MAX, oldValue)) {
        code = Fail("pack", "cannot read the revision of " + oldShown);
        return false;
    }
    const std::string oldText = TextOf(text);
    if (!given) {
        if (oldValue == INT32_MAX) {
            code = Fail("pack", oldShown + " has the highest revision there is, " + oldText);
            return false;
        }
        revision = int32_t(oldValue + 1);
    }
    const std::string newText = RevisionText(revision);
    if (RevisionSortsAfter(newText, oldText))
        return true;
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
                   RevisionText(suggestion);
    else
        message += "; no 32-bit revision above " + oldText + " sorts after it as text";
    code = Fail("pack", message);
    return false;
}

// Puts the files into the lookup's order (into items) and refuses the names
// that cannot be stored; warns of names that begin others. False when any
// was refused.
bool OrderEntries(const FolderWalk& walk, std::vector<const SourceFile*>& items)
{
    std::vector<std::string> refusals = walk.refusals;
    std::vector<const SourceFile*> storable;
    std::vector<std::string> names;
    for (const SourceFile& file : walk.files) {
        if (file.name.size() > kMaxNameBytes) {
            refusals.push_back(Quoted(file.name) + " is longer than " +
                               std::to_string(kMaxNameBytes) + " bytes");
            continue;
        }
        const std::string refusal = EntryNameRefusal(file.name);
        if (!refusal.empty()) {
            refusals.push_back(Quoted(file.name) + ": the name " + refusal);
            continue;
        }
        storable.push_back(&file);
        names.push_back(file.name);
    }
    const LookupOrder order(names);
    for (size_t i : order.order)
        items.push_back(storable[i]);
    for (const auto& pair : order.sameName)
        refusals.push_back("both " + Quoted(names[pair.first]) + " and " +
                           Quoted(names[pair.second]) + ": the updater ignores case, so they are "
                           "one name");
    for (const auto& pair : order.begins) {
        const std::string shorter = Quoted(names[pair.first]), longer = Quoted(names[pair.second]);
        WriteErr("updtool pack: warning: " + shorter + " begins " + longer +
                 ": the lookup finds it by its name, as it comes first, but without it would "
                 "deliver " + longer + "\n");
    }
    for (const std::string& refusal : refusals)
        WriteErr("updtool pack: cannot store " + refusal + "\n");
    return refusals.empty();
}

}  // namespace

int RunPack(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("pack", args,
                    {{"--format", true}, {"--revision", true}, {"--after", true},
                     {"--store", true}, {"--exclude", true}, {"--level", true}, {"-q", false}}))
        return ExitTrouble;
    if (line.positional.size() != 2)
        return UsageError("pack", "name the archive to write and the folder to pack");
    long long format = 2, level = kDefaultLevel;
    if (line.Value("--format") && !ParseNumber(*line.Value("--format"), 0, 2, format))
        return UsageError("pack", "--format takes 0, 1 or 2");
    if (line.Value("--level") && !ParseNumber(*line.Value("--level"), 0, 9, level))
        return UsageError("pack", "--level takes 0 to 9");
    const bool revisionGiven = line.Has("--revision") || line.Has("--after");
    if (format != 2 && revisionGiven)
        return UsageError("pack", "formats 0 and 1 carry no revision (the updater reads 0): "
                                  "--revision and --after need format 2");
    if (format == 2 && !revisionGiven)
        return UsageError("pack", "format 2 needs --revision N or --after OLD.pak");
    if (format == 0 && (line.Has("--store") || line.Has("--level")))
        return UsageError("pack", "format 0 stores every entry raw: --store and --level need "
                                  "format 1 or 2");
    int code = ExitOk;
    std::vector<std::string> storePatterns, excludePatterns;
    if (!PatternsOf(line, "--store", storePatterns, code) ||
        !PatternsOf(line, "--exclude", excludePatterns, code))
        return code;
    int32_t revision = 0;
    if (format == 2 && !ChooseRevision(line, revision, code))
        return code;

    const std::wstring outArgument = PathArgument(line.positional[0]);
    const std::wstring dirArgument = PathArgument(line.positional[1]);
    const std::wstring out = FullPath(outArgument);
    const std::wstring dir = FullPath(dirArgument);
    const std::string outShown = Shown(outArgument);
    if (out.empty() || outArgument.back() == L'\\' || out.back() == L'\\')
        return Fail("pack", outShown + " is not a file name");
    if (NamesDevice(LeafOf(out)))
        return Fail("pack", outShown + " names a device, not a file");
    const DWORD outAttributes = GetFileAttributesW(out.c_str());
    if (outAttributes != INVALID_FILE_ATTRIBUTES && (outAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("pack", outShown + " is a folder");
    // Windows refuses to replace a read-only file; so does the tool on
    // every system.
    if (outAttributes != INVALID_FILE_ATTRIBUTES && (outAttributes & FILE_ATTRIBUTE_READONLY))
        return Fail("pack", outShown + " is read-only");
    const DWORD dirAttributes = dir.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(dir.c_str());
    if (dirAttributes == INVALID_FILE_ATTRIBUTES)
        return Fail("pack", SystemErrorText("cannot read the folder " + Shown(dirArgument),
                                            GetLastError(), dir));
    if (!(dirAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("pack", Shown(dirArgument) + " is not a folder");

    try {
        std::wstring root = dir;
        if (root.back() == L'\\')
            root.pop_back();  // a drive's root
        const NamePatterns exclude(excludePatterns);
        FolderWalk walk(root, {out}, &exclude);
        walk.Run();
        for (const std::string& warning : walk.warnings)
            WriteErr("updtool pack: warning: " + warning + "\n");
        std::vector<const SourceFile*> items;
        if (!OrderEntries(walk, items))
            return Fail("pack", "names that cannot be stored; nothing was written");
        // The updater reads no index of 0 bytes; format 0 has an empty one.
        if (items.empty() && format != 0)
            return Fail("pack", Shown(dirArgument) + " holds no files, and formats "
                                "1 and 2 cannot hold an empty index (format 0 can)");

        const NamePatterns store(storePatterns);
        const std::wstring folder = ContainingFolder(out);
        TemporaryFile archive;
        if (!archive.Create(folder, L"updtool"))
            ThrowSystemError("cannot create a new file beside " + outShown, out);
        PakBuilder builder(uint32_t(format), revision, int(level), folder);
        Progress progress("pack", ErrIsConsole() && !line.Has("-q"));
        for (const SourceFile* item : items) {
            builder.Add(item->name, item->path, item->size,
                        format != 0 && !store.Matches(LookupKeyOf(item->name)));
            progress.Update(builder.entries, uint32_t(items.size()), builder.dataRead);
        }
        progress.Done();
        builder.Finish(archive.Get(), outShown);
        LARGE_INTEGER size = {};
        GetFileSizeEx(archive.Get(), &size);
        if (!archive.Flush())
            ThrowSystemError("cannot write " + outShown + " to disk", out);
        if (!archive.RenameOver(out, true))
            ThrowSystemError("cannot put " + outShown + " in place", out);
        if (!line.Has("-q"))
            WriteOut("packed " + std::to_string(builder.entries) +
                     (builder.entries == 1 ? " entry" : " entries") + " (" +
                     std::to_string(builder.compressedEntries) + " compressed) into " + outShown +
                     ": format " + std::to_string(format) +
                     (format == 2 ? ", revision " + RevisionText(revision) : std::string()) +
                     ", " + std::to_string(size.QuadPart) + " bytes\n");
    } catch (const ToolError& error) {
        return Fail("pack", error.message + "; nothing was written");
    }
    return ExitOk;
}
