#include "updtool/commands/commands.h"

#include <algorithm>
#include "pak/archive_index.h"
#include "pak/duplicate_names.h"
#include "pak/entry_reader.h"
#include "pak/index_walk.h"
#include "paths/wide_paths.h"
#include "update/temporary_file.h"
#include "updtool/archives/archive_input.h"
#include "updtool/console/command_line.h"
#include "updtool/archives/entry_name_rule.h"
#include "updtool/archives/entry_order.h"
#include "updtool/archives/file_handle.h"
#include "updtool/console/report_text.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "updtool/console/tool_output.h"
#include "updtool/folders/working_folder.h"

const char* const extractUsage =
    "usage: updtool extract X.pak [-C DIR] [NAME...] [--force]\n"
    "Writes the archive's entries, or those named (exactly, case ignored as\n"
    "the updater ignores it), as files below DIR (default: the current\n"
    "folder), creating folders on the way. Nothing is written elsewhere:\n"
    "names with '..', '.' or empty parts, absolute, drive or UNC names,\n"
    "device names (CON, NUL.txt ...), ':' (alternate streams), '/', parts\n"
    "ending in a dot or space, and paths through a link are refused, and so\n"
    "is a later entry of a name met before (the updater reads the first).\n"
    "Each file is written under a new name of its own beside its place and\n"
    "renamed there when complete; no other file is touched. When the\n"
    "entries to write take more than the disk's free space, nothing is\n"
    "written.\n"
    "  -C DIR    the folder to write below; it must exist\n"
    "  --force   replace existing files (otherwise each is kept and reported)\n"
    "Prints each name written. Exit code 1 when any entry was refused, not\n"
    "found or could not be written, or the archive is damaged.\n";

namespace {

// Creates the folders between base and the file relative names, refusing to
// pass through a link (a junction or symbolic link could lead out of base).
std::string MakeFolders(const std::wstring& base, const std::wstring& relative)
{
    std::wstring path = base;
    size_t start = 0;
    for (size_t end; (end = relative.find(L'\\', start)) != std::wstring::npos; start = end + 1) {
        path += L"\\" + relative.substr(start, end - start);
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                return SystemErrorText("cannot create its folder " + Shown(path), GetLastError(),
                                       path);
        } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return "its path passes through the link " + Shown(path);
        } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return "its folder " + Shown(path) + " is a file";
        }
    }
    return std::string();
}

const uint64_t kToldRefusals = 100;

class Extraction {
public:
    uint64_t failed;
    uint64_t nameRefusals;  // of them, for the entry's name or what lies at its place
    uint64_t planned;       // bytes of the entries that will be written

    Extraction(ArchiveFile& data, const std::wstring& folder, bool force)
        : failed(0), nameRefusals(0), planned(0), folder_(folder), force_(force), reader_(data)
    {
    }
    virtual ~Extraction() {}

    // Each refusal is counted; the first ones are told, so that an archive
    // of millions of bad names cannot flood the output.
    void Refuse(const std::string& name, const std::string& why)
    {
        if (failed < kToldRefusals)
            WriteErr("updtool extract: refused " + Quoted(name) + ": " + why + "\n");
        ++failed;
    }

    void TellTheRest() const
    {
        if (failed > kToldRefusals)
            WriteErr("updtool extract: ... and " + std::to_string(failed - kToldRefusals) +
                     " more refused\n");
    }

    // "" when name may be written (a file there is kept or replaced as the
    // options say), else why not; target then names the file.
    std::string Judge(const std::string& name, std::wstring& target, DWORD& attributes) const
    {
        const std::string refusal = EntryNameRefusal(name);
        if (!refusal.empty())
            return "the name " + refusal;
        std::wstring relative;
        WideFrom932Exactly(name.data(), uint32_t(name.size()), relative);
        target = (EndsWithSeparator(folder_) ? folder_ : folder_ + L"\\") + relative;
        attributes = GetFileAttributesW(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !force_)
            return std::string();
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return "a folder of that name exists";
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return "the existing file is a link";
        // Windows refuses to replace a read-only file; so does the tool on
        // every system.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            return "the existing file is read-only";
        return std::string();
    }

    void Write(const std::string& name, uint64_t dataStart, uint64_t fileSize,
               const IndexRecord& record)
    {
        std::wstring target;
        DWORD attributes = INVALID_FILE_ATTRIBUTES;
        const std::string refusal = Judge(name, target, attributes);
        if (!refusal.empty()) {
            ++nameRefusals;
            return Refuse(name, refusal);
        }
        if (attributes != INVALID_FILE_ATTRIBUTES && !force_) {
            if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                return Refuse(name, "a folder of that name exists");
            WriteErr("updtool extract: kept the existing " + Quoted(name) +
                     " (--force replaces it)\n");
            return;
        }
        std::wstring relative;
        WideFrom932Exactly(name.data(), uint32_t(name.size()), relative);
        const std::string folders = MakeFolders(folder_, relative);
        if (!folders.empty())
            return Refuse(name, folders);
        // A new file under a name nobody holds: nothing that lies there, or
        // a link planted under a temporary name, is ever written through.
        TemporaryFile out;
        if (!out.Create(ContainingFolder(target), L"updtool"))
            return Refuse(name, SystemErrorText("cannot create a file beside it", GetLastError(),
                                                target));
        try {
            reader_.Start(dataStart, fileSize, record);
            const unsigned char* data = nullptr;
            uint32_t length = 0;
            while (reader_.Next(data, length))
                WriteFully(out.Get(), data, length, "it");
        } catch (const ToolError& error) {
            return Refuse(name, error.message);
        }
        if (!reader_.problem.empty())
            return Refuse(name, "the archive is damaged: " + reader_.problem);
        if (!out.Flush())
            return Refuse(name, SystemErrorText("cannot write it to disk", GetLastError(), target));
        if (!out.RenameOver(target, force_)) {
            const DWORD error = GetLastError();
            if (!force_ && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS)) {
                WriteErr("updtool extract: kept the existing " + Quoted(name) +
                         " (--force replaces it)\n");
                return;
            }
            return Refuse(name, SystemErrorText("cannot put it in place", error, target));
        }
        WriteOut(ShownName(name) + "\n");
    }

private:
    std::wstring folder_;
    bool force_;
    EntryReader reader_;
};

// The entries named on the command line (all when none are).
class Selection {
public:
    std::vector<LookupKey> wanted;
    std::vector<bool> found;  // per wanted name: an entry of it was met

    Selection() {}
    virtual ~Selection() {}

    bool Wants(const IndexRecord& record) const
    {
        return wanted.empty() || std::find(wanted.begin(), wanted.end(),
                                           LookupKeyOf(record.name, record.nameLength)) !=
                                     wanted.end();
    }

    // Wants, noting the names met.
    bool Meet(const IndexRecord& record)
    {
        if (wanted.empty())
            return true;
        const LookupKey key = LookupKeyOf(record.name, record.nameLength);
        bool met = false;
        for (size_t i = 0; i < wanted.size(); ++i)
            if (wanted[i] == key)
                met = found[i] = true;
        return met;
    }
};

// What the first reading of the index found, before anything is written.
class Plan {
public:
    std::vector<uint32_t> repeated;  // later entries of a name met before, sorted
    uint64_t refusedNames;
    int64_t lastWritten;  // the last entry that may be written

    Plan() : refusedNames(0), lastWritten(-1) {}
    virtual ~Plan() {}
};

// Which entries are written, and how many bytes they take (into
// extraction.planned); "" or why the index could not be read whole.
std::string PlanExtraction(ArchiveFile& archive, Selection& selection, Extraction& extraction,
                           bool force, Plan& plan)
{
    DuplicateNames duplicates;
    std::vector<std::pair<uint32_t, uint32_t>> sizes;  // entry, size of each to be written
    const std::string damage = WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex&,
                                                      const IndexRecord& record) {
        if (!selection.Meet(record))
            return true;
        std::wstring target;
        DWORD attributes = INVALID_FILE_ATTRIBUTES;
        if (!extraction.Judge(std::string(record.name, record.nameLength), target, attributes).empty()) {
            ++plan.refusedNames;
            return true;
        }
        plan.lastWritten = entry;
        duplicates.Add(entry, record.name, record.nameLength);
        if (attributes == INVALID_FILE_ATTRIBUTES || force)
            sizes.emplace_back(entry, record.size);
        return true;
    });
    duplicates.Resolve(archive);
    for (const auto& repeat : duplicates.repeats)
        plan.repeated.push_back(repeat.first);
    for (const auto& entry : sizes)
        if (!std::binary_search(plan.repeated.begin(), plan.repeated.end(), entry.first))
            extraction.planned += entry.second;
    return damage;
}

}  // namespace

int RunExtract(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("extract", args, {{"-C", true}, {"--force", false}}))
        return ExitTrouble;
    if (int code = CheckArchiveArguments("extract", line.positional, true))
        return code;
    const std::wstring path = PathArgument(line.positional[0]);
    const std::wstring folderArgument = line.Value("-C") ? PathArgument(*line.Value("-C")) : L".";
    const DWORD folderAttributes = GetFileAttributesW(folderArgument.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("extract", Shown(folderArgument) + " is not a folder");
    const std::wstring folder = FullPath(folderArgument);
    if (folder.empty())
        return Fail("extract", Shown(folderArgument) + " is not a usable folder");

    Selection selection;
    for (size_t i = 1; i < line.positional.size(); ++i) {
        std::string name;
        if (!ExactlyTo932(PathArgument(line.positional[i]), name))
            return UsageError("extract", Shown(line.positional[i]) +
                                             " has characters that no entry name can hold");
        selection.wanted.push_back(LookupKeyOf(name));
    }
    selection.found.assign(selection.wanted.size(), false);

    ArchiveFile archive, data;
    if (int code = OpenArchiveArgument("extract", path, archive))
        return code;
    if (int code = OpenArchiveArgument("extract", path, data))
        return code;
    const bool force = line.Has("--force");
    Extraction extraction(data, folder, force);
    Plan plan;
    const std::string damage = PlanExtraction(archive, selection, extraction, force, plan);
    ULARGE_INTEGER free = {};
    if (extraction.planned > 0 && GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr) &&
        extraction.planned > free.QuadPart)
        return Fail("extract", "the entries to write take " + std::to_string(extraction.planned) +
                                   " bytes, more than the " + std::to_string(free.QuadPart) +
                                   " bytes free on the disk of " + Shown(folder) +
                                   "; nothing was written",
                    ExitProblems);

    // Once nothing is left to write and no more refusals are told, the rest
    // of the index (millions of bad names, perhaps) is only counted.
    WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex& index, const IndexRecord& record) {
        if (int64_t(entry) > plan.lastWritten && extraction.failed >= kToldRefusals)
            return false;
        if (!selection.Wants(record))
            return true;
        const std::string name(record.name, record.nameLength);
        if (std::binary_search(plan.repeated.begin(), plan.repeated.end(), entry))
            extraction.Refuse(name, "an earlier entry has the same name (the updater reads that one)");
        else
            extraction.Write(name, index.DataStart(record), index.fileSize, record);
        return true;
    });
    // The refusals the second reading did not reach (what it wrote may have
    // made it refuse more, never fewer, when it went to the end).
    if (plan.refusedNames > extraction.nameRefusals)
        extraction.failed += plan.refusedNames - extraction.nameRefusals;
    extraction.TellTheRest();
    for (size_t i = 0; i < selection.wanted.size(); ++i) {
        if (!selection.found[i]) {
            WriteErr("updtool extract: no entry named " + Shown(line.positional[i + 1]) + "\n");
            ++extraction.failed;
        }
    }
    if (!damage.empty())
        return Fail("extract", Shown(path) + " is damaged: " + damage, ExitProblems);
    return extraction.failed ? ExitProblems : ExitOk;
}
