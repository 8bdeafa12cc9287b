#include "updtool/commands/commands.h"

#include <unordered_map>
#include <unordered_set>
#include <windows.h>
#include "base/owned.h"
#include "pak/index_walk.h"
#include "updtool/archives/archive_input.h"
#include "updtool/archives/entry_digests.h"
#include "updtool/archives/entry_order.h"
#include "updtool/folders/folder_walk.h"
#include "base/sha256.h"
#include "updtool/console/text_conversion.h"
#include "updtool/console/tool_error.h"
#include "updtool/console/tool_output.h"
#include "updtool/folders/working_folder.h"

const char* const compareUsage =
    "usage: updtool compare X.pak DIR [--json]\n"
    "Compares each entry with the file of its name below DIR (case ignored) by\n"
    "the SHA-256 of their data. Prints each entry that differs, is missing in\n"
    "DIR, is unreadable or shadowed (a later entry of a name met before), and\n"
    "each file only in the folder.\n"
    "  --json   one JSON document: same (a count), entries[] of name and\n"
    "           status (same, differs, missing, unreadable, shadowed),\n"
    "           onlyInFolder[]\n"
    "Exit code 0 when all are the same, 1 when any differ, 2 when the archive\n"
    "or folder cannot be read.\n";

namespace {

// What compare found: the model both forms are rendered from.
class Comparison {
public:
    // Per entry in index order: its name (code page 932) and status.
    std::vector<std::pair<std::string, const char*>> entries;
    std::vector<std::string> onlyInFolder;  // files no entry names (code page 932)
    std::vector<std::string> unnamed;       // files the walk could not name, and why
    size_t same;
    size_t differ;

    Comparison() : same(0), differ(0) {}
    virtual ~Comparison() {}

    void Add(const std::string& name, const char* status)
    {
        entries.emplace_back(name, status);
        const std::string shown(status);
        if (shown == "same")
            ++same;
        else if (shown != "shadowed")
            ++differ;
    }
};

// The folder's files by their lookup keys; each file's digest read once,
// only when an entry of the same size asks for it.
class FolderFiles {
public:
    explicit FolderFiles(const std::wstring& root) : walk_(root, {}), buffer_(256 * 1024)
    {
        walk_.Run();
        keys_.reserve(walk_.files.size());
        for (size_t i = 0; i < walk_.files.size(); ++i)
            keys_.emplace(LookupKeyOf(walk_.files[i].name), i);
        matched_.assign(walk_.files.size(), false);
    }
    virtual ~FolderFiles() {}

    // The status of an entry of this key, size and digest against its file.
    const char* StatusOf(const LookupKey& key, uint32_t size, const std::string& digest)
    {
        const auto found = keys_.find(key);
        if (found == keys_.end())
            return "missing";
        const SourceFile& file = walk_.files[found->second];
        matched_[found->second] = true;
        return file.size == size && Digest(file.path) == digest ? "same" : "differs";
    }

    // The files no entry named, and those the walk could not name.
    void AddUnmatched(Comparison& comparison) const
    {
        for (size_t i = 0; i < walk_.files.size(); ++i)
            if (!matched_[i])
                comparison.onlyInFolder.push_back(walk_.files[i].name);
        comparison.unnamed = walk_.refusals;
        comparison.differ += comparison.onlyInFolder.size() + comparison.unnamed.size();
    }

private:
    std::string Digest(const std::wstring& path)
    {
        // Opened by handle, not through ArchiveFile: a file gone since the
        // walk must not be looked up in the current folder's archives, and
        // one query of its attributes less per file counts over 100,000.
        const Handle file(CreateFileW(VerbatimPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        const std::string shown = Shown(path);
        if (!file.Valid())
            ThrowSystemError("cannot read " + shown, path);
        for (DWORD got = 1; got > 0; sha_.Add(buffer_.data(), got))
            if (!ReadFile(file.Get(), buffer_.data(), DWORD(buffer_.size()), &got, nullptr))
                ThrowSystemError("cannot read " + shown, path);
        return sha_.Finish();
    }

    FolderWalk walk_;
    std::unordered_map<LookupKey, size_t> keys_;
    std::vector<bool> matched_;
    std::vector<char> buffer_;
    Sha256 sha_;
};

// Each entry against the folder; "" or why the index could not be read whole.
std::string CompareEntries(ArchiveFile& archive, ArchiveFile& data, FolderFiles& folder,
                           Comparison& comparison)
{
    EntryDigests digests;
    digests.Compute(archive, data);
    std::unordered_set<LookupKey> seen;
    return WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex&, const IndexRecord& record) {
        const std::string name(record.name, NameTextLength(record.name, record.nameLength));
        const LookupKey key = LookupKeyOf(name);
        const std::string digest = digests.Of(entry);
        // A later entry of a name met before is never delivered.
        if (!seen.insert(key).second)
            comparison.Add(name, "shadowed");
        else if (digest.empty())
            comparison.Add(name, "unreadable");
        else
            comparison.Add(name, folder.StatusOf(key, record.size, digest));
        return true;
    });
}

void Render(const Comparison& comparison, bool json)
{
    JsonWriter writer;
    std::string text;
    writer.BeginObject();
    writer.Key("entries");
    writer.BeginArray();
    for (const auto& entry : comparison.entries) {
        const std::string status(entry.second);
        if (status != "same")
            text += status + std::string(11 - status.size(), ' ') + ShownName(entry.first) + "\n";
        writer.BeginObject();
        writer.Field("name", Utf8From932(entry.first));
        writer.Field("status", status);
        writer.EndObject();
    }
    writer.EndArray();
    writer.Key("onlyInFolder");
    writer.BeginArray();
    for (const std::string& name : comparison.onlyInFolder) {
        text += "only in the folder: " + ShownName(name) + "\n";
        writer.Text(Utf8From932(name));
    }
    for (const std::string& refusal : comparison.unnamed)
        text += "only in the folder: " + refusal + "\n";
    writer.EndArray();
    writer.Field("same", int64_t(comparison.same));
    writer.EndObject();
    const size_t differ = comparison.differ;
    if (json)
        WriteOut(writer.Document());
    else
        WriteOut(text + std::to_string(comparison.same) +
                 (comparison.same == 1 ? " entry" : " entries") +
                 " the same as the folder's files, " + std::to_string(differ) + " difference" +
                 (differ == 1 ? "" : "s") + "\n");
}

}  // namespace

int RunCompare(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("compare", args, {OptionSpec("--json", false)}))
        return ExitTrouble;
    if (line.positional.size() != 2)
        return UsageError("compare", "name the archive and the folder");
    // A ToolError is reported by main, as every command's.
    const std::wstring path = PathArgument(line.positional[0]);
    const std::wstring dir = FullPath(PathArgument(line.positional[1]));
    const DWORD attributes = dir.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("compare", Shown(line.positional[1]) + " is not a folder");
    ArchiveFile archive, data;
    if (int code = OpenArchiveArgument("compare", path, archive, &data))
        return code;
    FolderFiles folder(dir);
    Comparison comparison;
    const std::string damage = CompareEntries(archive, data, folder, comparison);
    if (!damage.empty())
        return Fail("compare", Shown(path) + " is damaged: " + damage, ExitProblems);
    folder.AddUnmatched(comparison);
    Render(comparison, line.Has("--json"));
    return comparison.differ ? ExitProblems : ExitOk;
}
