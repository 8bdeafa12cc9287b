#include "updtool/commands.h"

#include <map>
#include <windows.h>
#include "base/owned.h"
#include "updtool/archive_input.h"
#include "updtool/entry_digests.h"
#include "updtool/entry_order.h"
#include "updtool/file_handle.h"
#include "updtool/folder_walk.h"
#include "updtool/index_walk.h"
#include "updtool/sha256.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_error.h"
#include "updtool/tool_output.h"
#include "updtool/working_folder.h"

const char* const compareUsage =
    "usage: updtool compare X.pak DIR [--json]\n"
    "Tells which entries of the archive differ from the files below DIR, by\n"
    "the SHA-256 of the data the updater delivers and of each file. An entry\n"
    "is matched to the file of its name below DIR, case ignored as the\n"
    "updater's lookup ignores it; a later entry of a name met before is\n"
    "never delivered and is shown as shadowed.\n"
    "Prints each entry that is not the same: differs, missing (no such file\n"
    "in DIR), unreadable (the archive cannot deliver it), shadowed; and each\n"
    "file of DIR no entry names (only in the folder).\n"
    "  --json   one JSON document: same (a count), entries[] of name and\n"
    "           status (same, differs, missing, unreadable, shadowed),\n"
    "           onlyInFolder[]\n"
    "Exit code 0 when every entry is the same as its file and every file has\n"
    "its entry, 1 when any differ, 2 when the archive or folder cannot be read.\n";

namespace {

std::string FileDigest(const std::wstring& path)
{
    const Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.Valid())
        ThrowSystemError("cannot read " + Shown(path), path);
    Sha256 sha;
    std::vector<char> buffer(256 * 1024);
    for (uint32_t got; (got = ReadFully(file.Get(), buffer.data(), uint32_t(buffer.size()),
                                        Shown(path))) > 0;)
        sha.Add(buffer.data(), got);
    return sha.Finish();
}

int Compare(const CommandLine& line)
{
    const std::wstring path = PathArgument(line.positional[0]);
    const std::wstring dir = FullPath(PathArgument(line.positional[1]));
    const DWORD attributes = dir.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("compare", Shown(line.positional[1]) + " is not a folder");
    ArchiveFile archive, data;
    if (int code = OpenArchiveArgument("compare", path, archive))
        return code;
    if (int code = OpenArchiveArgument("compare", path, data))
        return code;

    std::wstring root = dir;
    if (root.back() == L'\\')
        root.pop_back();
    FolderWalk walk(root, {});
    walk.Run();
    std::map<LookupKey, size_t> files;
    for (size_t i = 0; i < walk.files.size(); ++i)
        files.emplace(LookupKeyOf(walk.files[i].name), i);
    std::vector<bool> matched(walk.files.size(), false);

    EntryDigests digests;
    digests.Compute(archive, data);
    JsonWriter json;
    json.BeginObject();
    json.Key("entries");
    json.BeginArray();
    std::string text;
    size_t same = 0, differ = 0;
    std::map<LookupKey, bool> seen;
    const std::string damage = WalkIndex(archive, [&](uint32_t entry, const ArchiveIndex&,
                                                      const IndexRecord& record) {
        const std::string name(record.name, NameTextLength(record.name, record.nameLength));
        const LookupKey key = LookupKeyOf(name);
        const char* status = "same";
        if (!seen.emplace(key, true).second) {
            status = "shadowed";
        } else if (digests.Of(entry).empty()) {
            status = "unreadable";
        } else {
            const auto file = files.find(key);
            if (file == files.end()) {
                status = "missing";
            } else {
                matched[file->second] = true;
                if (FileDigest(walk.files[file->second].path) != digests.Of(entry))
                    status = "differs";
            }
        }
        const std::string shown = std::string(status);
        if (shown == "same") {
            ++same;
        } else {
            differ += shown != "shadowed";
            text += shown + std::string(11 - shown.size(), ' ') + ShownName(name) + "\n";
        }
        json.BeginObject();
        json.Field("name", Utf8From932(name));
        json.Field("status", status);
        json.EndObject();
        return true;
    });
    json.EndArray();
    json.Key("onlyInFolder");
    json.BeginArray();
    for (size_t i = 0; i < walk.files.size(); ++i) {
        if (matched[i])
            continue;
        ++differ;
        text += "only in the folder: " + ShownName(walk.files[i].name) + "\n";
        json.Text(Utf8From932(walk.files[i].name));
    }
    for (const std::string& refusal : walk.refusals) {
        ++differ;
        text += "only in the folder: " + refusal + "\n";
    }
    json.EndArray();
    json.Field("same", int64_t(same));
    json.EndObject();
    if (!damage.empty())
        return Fail("compare", Shown(path) + " is damaged: " + damage, ExitProblems);
    if (line.Has("--json"))
        WriteOut(json.Document());
    else
        WriteOut(text + std::to_string(same) + (same == 1 ? " entry" : " entries") +
                 " the same as the folder's files, " + std::to_string(differ) + " difference" +
                 (differ == 1 ? "" : "s") + "\n");
    return differ ? ExitProblems : ExitOk;
}

}  // namespace

int RunCompare(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("compare", args, {OptionSpec("--json", false)}))
        return ExitTrouble;
    if (line.positional.size() != 2)
        return UsageError("compare", "name the archive and the folder");
    try {
        return Compare(line);
    } catch (const ToolError& error) {
        return Fail("compare", error.message);
    }
}
