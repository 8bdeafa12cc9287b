#include "updtool/commands/commands.h"

#include <algorithm>
#include "base/exceptions.h"
#include "pak/archive_index.h"
#include "pak/duplicate_names.h"
#include "pak/entry_reader.h"
#include "pak/index_walk.h"
#include "paths/wide_paths.h"
#include "paths/folder_guard.h"
#include "paths/temporary_file.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_names.h"
#include "base/shown_text.h"
#include "base/text_932.h"
#include "updtool/console/tool_output.h"
#include "updtool/folders/working_folder.h"

const char* const extractUsage =
    "usage: updtool extract X.pak [-C DIR] [NAME...] [--force]\n"
    "Writes the archive's entries, or those named (case ignored), as files below\n"
    "DIR. Names that would lead elsewhere or mean something else to Windows\n"
    "(\"..\", absolute, drive, device or stream names, links) are refused, and so\n"
    "is a later entry of a name met before. Each file is written under a new\n"
    "name beside its place, then renamed; nothing when the disk is too full.\n"
    "  -C DIR    the folder to write below (default: the current one); it must exist\n"
    "  --force   replace existing files (otherwise each is kept and reported)\n"
    "Prints each name written. Exit code 1 when any entry was refused, not\n"
    "found or could not be written, or the archive is damaged.\n";

namespace {

const uint64_t kToldRefusals = 100;

// One extraction: the entries it takes, what the first reading of the index
// found before anything is written, and what the second one did.
class Extraction {
public:
    std::vector<LookupKey> wanted;   // the names given; none: every entry
    std::vector<bool> found;         // per wanted name: an entry of it was met
    uint64_t failed = 0;
    uint64_t nameRefusals = 0;       // of them, for the entry's name or what lies at its place
    uint64_t planned = 0;            // bytes of the entries that will be written
    std::vector<uint32_t> repeated;  // later entries of a name met before, sorted
    uint64_t refusedNames = 0;
    int64_t lastWritten = -1;        // the last entry that may be written

    Extraction(ArchiveFile& data, const std::wstring& folder, bool force,
               const std::vector<std::string>& names)
        : found(names.size()), base_(EndsWithSeparator(folder) ? folder : folder + L"\\"),
          force_(force), reader_(data), guard_(folder)
    {
        for (const std::string& name : names)
            wanted.push_back(LookupKeyOf(name));
    }
    virtual ~Extraction() {}

    // Whether record is wanted, noting the names met.
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

    // Each refusal is counted; the first ones are told, so that an archive
    // of millions of bad names cannot flood the output.
    void Refuse(const std::string& name, const std::string& why)
    {
        if (failed < kToldRefusals)
            WriteErr("updtool extract: refused " + Quoted(name) + ": " + why + "\n");
        ++failed;
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
        target = base_ + relative;
        attributes = GetFileAttributesW(target.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES)
            return std::string();
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            return "a folder of that name exists";
        if (force_ && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return "the existing file is a link";
        // Windows refuses to replace a read-only file; so does the tool on
        // every system.
        if (force_ && (attributes & FILE_ATTRIBUTE_READONLY))
            return "the existing file is read-only";
        return std::string();
    }

    // The first reading: which entries are written, and how many bytes
    // they take; "" or why the index could not be read whole.
    std::string Plan(ArchiveFile& archive)
    {
        DuplicateNames duplicates;
        std::vector<std::pair<uint32_t, uint32_t>> sizes;  // entry, size of each to be written
        const std::string damage = WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex&,
                                                          const IndexRecord& record) {
            if (!Meet(record))
                return true;
            std::wstring target;
            DWORD attributes = INVALID_FILE_ATTRIBUTES;
            if (!Judge(std::string(record.name, record.nameLength), target, attributes).empty()) {
                ++refusedNames;
                return true;
            }
            lastWritten = entry;
            duplicates.Add(entry, record.name, record.nameLength);
            if (attributes == INVALID_FILE_ATTRIBUTES || force_)
                sizes.emplace_back(entry, record.size);
            return true;
        });
        duplicates.Resolve(archive);
        for (const auto& repeat : duplicates.repeats)
            repeated.push_back(repeat.first);
        for (const auto& entry : sizes)
            if (!std::binary_search(repeated.begin(), repeated.end(), entry.first))
                planned += entry.second;
        return damage;
    }

    void Write(const std::string& name, const ArchiveIndex& index, const IndexRecord& record)
    {
        std::wstring target;
        DWORD attributes = INVALID_FILE_ATTRIBUTES;
        const std::string refusal = Judge(name, target, attributes);
        if (!refusal.empty()) {
            ++nameRefusals;
            return Refuse(name, refusal);
        }
        if (attributes != INVALID_FILE_ATTRIBUTES && !force_)
            return Keep(name);
        // Made and held while the entry is written: a link (a junction or
        // symbolic link could lead out of the folder) is refused.
        if (!guard_.Hold(FolderOf(target.substr(base_.size()))))
            return Refuse(name, "its path passes through a link");
        // A new file under a name nobody holds: nothing that lies there, or
        // a link planted under a temporary name, is ever written through.
        TemporaryFile out;
        if (!out.Create(ContainingFolder(target), kToolPrefix))
            return Refuse(name, SystemErrorText("cannot create a file beside it", GetLastError(),
                                                target));
        try {
            reader_.Start(index.DataStart(record), index.fileSize, record);
            const unsigned char* data = nullptr;
            uint32_t length = 0;
            while (reader_.Next(data, length))
                out.Write(data, length);
        } catch (const OCErrorException& failure) {
            return Refuse(name, SystemErrorText("cannot write it", failure.code, target));
        }
        if (!reader_.problem.empty())
            return Refuse(name, "the archive is damaged: " + reader_.problem);
        if (!out.Flush())
            return Refuse(name, SystemErrorText("cannot write it to disk", GetLastError(), target));
        if (!out.RenameOver(target, force_)) {
            const DWORD error = GetLastError();
            if (!force_ && (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS))
                return Keep(name);
            return Refuse(name, SystemErrorText("cannot put it in place", error, target));
        }
        WriteOut(ShownName(name) + "\n");
    }

    // The second reading: writes what the first found writable. Once
    // nothing is left to write and no more refusals are told, the rest of
    // the index (millions of bad names, perhaps) is only counted.
    void WriteAll(ArchiveFile& archive)
    {
        WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex& index, const IndexRecord& record) {
            if (int64_t(entry) > lastWritten && failed >= kToldRefusals)
                return false;
            if (!Meet(record))
                return true;
            const std::string name(record.name, record.nameLength);
            if (std::binary_search(repeated.begin(), repeated.end(), entry))
                Refuse(name, "an earlier entry has the same name (the updater reads that one)");
            else
                Write(name, index, record);
            return true;
        });
        // The refusals this reading did not reach (what it wrote may have
        // made it refuse more, never fewer, when it went to the end).
        if (refusedNames > nameRefusals)
            failed += refusedNames - nameRefusals;
        if (failed > kToldRefusals)
            WriteErr("updtool extract: ... and " + std::to_string(failed - kToldRefusals) +
                     " more refused\n");
    }

private:
    void Keep(const std::string& name)
    {
        WriteErr("updtool extract: kept the existing " + Quoted(name) + " (--force replaces it)\n");
    }

    std::wstring base_;  // the folder, ending in a backslash
    bool force_;
    EntryReader reader_;
    FolderGuard guard_;
};

}  // namespace

const OptionSpecs extractOptions = {{"-C", true}, {"--force", false}};

int RunExtract(const CommandLine& line)
{
    if (int code = CheckArchiveArguments("extract", line.positional, true))
        return code;
    const std::wstring path = PathArgument(line.positional[0]);
    const std::wstring folderArgument = line.Value("-C") ? PathArgument(*line.Value("-C")) : L".";
    if (!IsFolder(folderArgument))
        return Fail("extract", Shown(folderArgument) + " is not a folder");
    const std::wstring folder = FullPath(folderArgument);
    if (folder.empty())
        return Fail("extract", Shown(folderArgument) + " is not a usable folder");

    std::vector<std::string> names;
    if (int code = EntryTexts("extract", {line.positional.begin() + 1, line.positional.end()},
                              nullptr, names))
        return code;

    ArchiveFile archive, data;
    if (int code = OpenArchiveArgument("extract", path, archive, &data))
        return code;
    Extraction extraction(data, folder, line.Has("--force"), names);
    const std::string damage = extraction.Plan(archive);
    ULARGE_INTEGER free = {};
    if (extraction.planned > 0 && GetDiskFreeSpaceExW(folder.c_str(), &free, nullptr, nullptr) &&
        extraction.planned > free.QuadPart)
        return Fail("extract", "the entries to write take " + std::to_string(extraction.planned) +
                                   " bytes, more than the " + std::to_string(free.QuadPart) +
                                   " bytes free on the disk of " + Shown(folder) +
                                   "; nothing was written",
                    ExitProblems);

    extraction.WriteAll(archive);
    for (size_t i = 0; i < names.size(); ++i) {
        if (!extraction.found[i]) {
            WriteErr("updtool extract: no entry named " + Shown(line.positional[i + 1]) + "\n");
            ++extraction.failed;
        }
    }
    if (!damage.empty())
        return Fail("extract", Shown(path) + " is damaged: " + damage, ExitProblems);
    return extraction.failed ? ExitProblems : ExitOk;
}
