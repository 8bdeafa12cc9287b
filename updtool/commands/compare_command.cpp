#include "updtool/commands/commands.h"

#include <unordered_map>
#include <unordered_set>
#include "pak/index_walk.h"
#include "system/native_file.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_digests.h"
#include "pak/name_matcher.h"
#include "updtool/folders/folder_walk.h"
#include "system/sha256.h"
#include "base/shown_text.h"
#include "updtool/console/command_report.h"
#include "updtool/folders/working_folder.h"

const char* const compareUsage =
    "usage: updtool compare X.pak DIR|OTHER.pak [--json]\n"
    "Compares each entry with the file of its name below DIR, or with the entry\n"
    "of its name in OTHER.pak (case ignored), by the SHA-256 of their data.\n"
    "Prints each entry that differs, is missing there, is unreadable (in either)\n"
    "or shadowed (a later entry of a name met before), and each file or entry\n"
    "only there. OTHER.pak's own shadowed entries are never delivered: ignored.\n"
    "  --json   one JSON document: same (a count), entries[] of name and\n"
    "           status (same, differs, missing, unreadable, shadowed),\n"
    "           onlyInFolder[] (onlyInArchive[] against OTHER.pak)\n"
    "Exit code 0 when all are the same, 1 when any differ, 2 when an archive\n"
    "or the folder cannot be read.\n";

namespace {

// What the entries are compared with, by lookup key: the files below a
// folder, or the entries another archive delivers. A file's digest is read
// once, only when an entry of the same size asks for it.
class Counterpart {
public:
    const char* field = "onlyInFolder";            // JSON: what no entry names
    std::string onlyThere = "only in the folder: ";  // text: the same, before each name
    // text: the summary's words for an entry found the same
    const char* sameAs = " the same as the folder's files, ";

    virtual ~Counterpart() {}

    void ReadFolder(const std::wstring& root)
    {
        FolderWalk walk(root, {});
        walk.Run();
        files_.swap(walk.files);
        unnamed_.swap(walk.refusals);
        Index();
    }

    // The entries other delivers (a later one of a name met before never
    // is); "" or why its index could not be read whole.
    std::string ReadArchive(ArchiveFile& other, ArchiveFile& data, const std::string& shown)
    {
        field = "onlyInArchive";
        onlyThere = "only in " + shown + ": ";
        sameAs = " the same in both archives, ";
        otherDigests_.Compute(other, data);
        std::unordered_set<LookupKey> seen;
        const std::string damage = WalkIndex(other, [&](uint32_t entry, const ArchiveIndex&,
                                                        const IndexRecord& record) {
            SourceFile file;
            file.name.assign(record.name, NameTextLength(record.name, record.nameLength));
            file.size = record.size;
            if (seen.insert(LookupKeyOf(file.name)).second) {
                files_.push_back(std::move(file));
                entryOf_.push_back(entry);
            }
            return true;
        });
        Index();
        return damage;
    }

    // The status of an entry of this key, size and digest (null when it
    // cannot be delivered whole) against its match.
    const char* StatusOf(const LookupKey& key, uint32_t size, const Sha256::Digest* digest)
    {
        const auto found = keys_.find(key);
        if (found == keys_.end())
            return digest ? "missing" : "unreadable";
        const size_t i = found->second;
        matched_[i] = true;
        const bool inArchive = files_[i].path.empty();
        const Sha256::Digest* theirs = inArchive ? otherDigests_.Find(entryOf_[i]) : nullptr;
        if (!digest || (inArchive && !theirs))
            return "unreadable";
        if (files_[i].size != size)
            return "differs";
        return *digest == (inArchive ? *theirs : Digest(files_[i].path)) ? "same" : "differs";
    }

    // What no entry matched, and the files the walk could not name, as the
    // rows of field; how many.
    size_t AddUnmatched(Report& report) const
    {
        report.Begin(field, true, "", LayoutFlat);
        size_t count = unnamed_.size();
        for (size_t i = 0; i < files_.size(); ++i)
            if (!matched_[i]) {
                ++count;
                report.Row({ReportCell(nullptr, ReportValue::Text932(files_[i].name)),
                            ReportCell(onlyThere + ShownName(files_[i].name))});
            }
        for (const std::string& refusal : unnamed_)
            report.Row({ReportCell(onlyThere + refusal)});
        report.End();
        return count;
    }

private:
    void Index()
    {
        keys_.reserve(files_.size());
        for (size_t i = 0; i < files_.size(); ++i)
            keys_.emplace(LookupKeyOf(files_[i].name), i);
        matched_.assign(files_.size(), false);
    }

    const Sha256::Digest& Digest(const std::wstring& path)
    {
        // Opened by handle, not through ArchiveFile: a file gone since the
        // walk must not be looked up in the current folder's archives, and
        // one query of its attributes less per file counts over 100,000.
        uint64_t size = 0;
        if (digester_.Digest(FilePlace(VerbatimPath(path)), size, digest_) != FileRead::Done)
            ThrowSystemError("cannot read " + Shown(path), path);
        return digest_;
    }

    std::vector<SourceFile> files_;       // a folder's files have a path
    EntryDigests otherDigests_;           // an archive's entries
    std::vector<uint32_t> entryOf_;       // per file: its entry there
    std::vector<std::string> unnamed_;    // files the walk could not name, and why
    std::unordered_map<LookupKey, size_t> keys_;
    std::vector<bool> matched_;
    FileDigester digester_;
    Sha256::Digest digest_;
};

// Each entry against its counterpart, a row of report each (words only
// where it differs); "" or why the index could not be read whole.
std::string CompareEntries(ArchiveFile& archive, ArchiveFile& data, Counterpart& other,
                           Report& report, size_t& same, size_t& differ)
{
    EntryDigests digests;
    digests.Compute(archive, data);
    std::unordered_set<LookupKey> seen;
    report.Begin("entries", true, "", LayoutFlat);
    const std::string damage = WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex&,
                                                      const IndexRecord& record) {
        const std::string name(record.name, NameTextLength(record.name, record.nameLength));
        const LookupKey key = LookupKeyOf(name);
        // A later entry of a name met before is never delivered.
        const std::string status =
            seen.insert(key).second ? other.StatusOf(key, record.size, digests.Find(entry)) : "shadowed";
        std::vector<ReportCell> cells = {ReportCell("name", ReportValue::Text932(name)),
                                         ReportCell("status", ReportValue::Text(status))};
        if (status == "same")
            ++same;
        else
            cells.emplace_back(status + std::string(11 - status.size(), ' ') + ShownName(name));
        differ += status != "same" && status != "shadowed";
        report.Row(cells);
        return true;
    });
    report.End();
    return damage;
}

}  // namespace

const OptionSpecs compareOptions = {{"--json", false}};

int RunCompare(const CommandLine& line)
{
    if (line.positional.size() != 2)
        return UsageError("compare", "name the archive, and the folder or archive to compare it with");
    // A ToolError is reported by main, as every command's.
    const std::wstring path = PathArgument(line.positional[0]);
    const std::wstring otherPath = PathArgument(line.positional[1]);
    const std::wstring dir = FullPath(otherPath);
    const bool isFolder = IsFolder(dir);
    ArchiveFile archive, data, other, otherData;
    if (int code = OpenArchiveArgument("compare", path, archive, &data))
        return code;
    if (!isFolder)
        if (int code = OpenArchiveArgument("compare", otherPath, other, &otherData))
            return code;
    Counterpart counterpart;
    const std::string otherShown = Shown(line.positional[1]);
    std::string otherDamage;
    if (isFolder)
        counterpart.ReadFolder(dir);
    else
        otherDamage = counterpart.ReadArchive(other, otherData, otherShown);
    if (!otherDamage.empty())
        return Fail("compare", otherShown + " is damaged: " + otherDamage, ExitProblems);
    Report report(line.json);
    size_t same = 0, differ = 0;
    const std::string damage = CompareEntries(archive, data, counterpart, report, same, differ);
    if (!damage.empty())
        return Fail("compare", Shown(path) + " is damaged: " + damage, ExitProblems);
    differ += counterpart.AddUnmatched(report);
    report.Field("same", ReportValue::Number(int64_t(same)),
                 Plural(same, "entry", "entries") + counterpart.sameAs +
                     Plural(differ, "difference", "differences"));
    report.Write();
    return differ ? ExitProblems : ExitOk;
}
