#include "updtool/commands.h"

#include <set>
#include <vector>
#include "base/exceptions.h"
#include "pak/archive_index.h"
#include "updtool/archive_input.h"
#include "updtool/command_line.h"
#include "updtool/entry_name_rule.h"
#include "updtool/entry_order.h"
#include "updtool/entry_reader.h"
#include "updtool/pending_file.h"
#include "updtool/text_conversion.h"
#include "updtool/tool_error.h"
#include "updtool/tool_output.h"

const char* const extractUsage =
    "usage: updtool extract X.pak [-C DIR] [NAME...] [--force]\n"
    "Writes the archive's entries, or those named (exactly, case ignored as\n"
    "the updater ignores it), as files below DIR (default: the current\n"
    "folder), creating folders on the way. Nothing is written elsewhere:\n"
    "names with '..', '.' or empty parts, absolute, drive or UNC names,\n"
    "device names (CON, NUL.txt ...), ':' (alternate streams), '/', parts\n"
    "ending in a dot or space, and paths through a link are refused, and so\n"
    "is a later entry of a name met before (the updater reads the first).\n"
    "  -C DIR    the folder to write below; it must exist\n"
    "  --force   replace existing files (otherwise each is kept and reported)\n"
    "Prints each name written. Exit code 1 when any entry was refused, not\n"
    "found or could not be written.\n";

namespace {

// One entry to write, copied out of the index.
class ExtractItem {
public:
    std::string name;  // as stored, code page 932
    IndexRecord record;
    uint64_t dataStart;

    ExtractItem() : dataStart(0) {}
    virtual ~ExtractItem() {}
};

std::string Quoted(const std::string& name)
{
    return "'" + NameUtf8(name) + "'";
}

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
                return SystemErrorText("cannot create its folder '" + Utf8FromWide(path) + "'",
                                       GetLastError());
        } else if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            return "its path passes through the link '" + Utf8FromWide(path) + "'";
        } else if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return "its folder '" + Utf8FromWide(path) + "' is a file";
        }
    }
    return std::string();
}

class Extraction {
public:
    std::wstring folder;
    bool force;
    int failed;

    Extraction(ArchiveFile& archive, uint64_t fileSize, const std::wstring& folder, bool force)
        : folder(folder), force(force), failed(0), reader_(archive), fileSize_(fileSize)
    {
    }
    virtual ~Extraction() {}

    void Refuse(const ExtractItem& item, const std::string& why)
    {
        WriteErr("updtool extract: refused " + Quoted(item.name) + ": " + why + "\n");
        ++failed;
    }

    void Write(const ExtractItem& item)
    {
        const std::string refusal = EntryNameRefusal(item.name);
        if (!refusal.empty())
            return Refuse(item, "the name " + refusal);
        std::wstring relative;
        NameToWide(item.name.data(), uint32_t(item.name.size()), relative);
        const std::string folders = MakeFolders(folder, relative);
        if (!folders.empty())
            return Refuse(item, folders);
        const std::wstring target = folder + L"\\" + relative;
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES) {
            if (attributes & FILE_ATTRIBUTE_DIRECTORY)
                return Refuse(item, "a folder of that name exists");
            if (!force) {
                WriteErr("updtool extract: kept the existing " + Quoted(item.name) +
                         " (--force replaces it)\n");
                return;
            }
            if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                return Refuse(item, "the existing file is a link");
            // Windows refuses to replace a read-only file; so does the tool
            // on every system.
            if (attributes & FILE_ATTRIBUTE_READONLY)
                return Refuse(item, "the existing file is read-only");
        }
        PendingFile out(target, target + L".updtool-tmp");
        try {
            const std::string what = Quoted(item.name);
            out.Create(what);
            reader_.StartAt(item.dataStart, fileSize_, item.record);
            const unsigned char* data = nullptr;
            uint32_t length = 0;
            while (reader_.Next(data, length))
                out.file.Write(data, length, what);
            if (!reader_.problem.empty())
                return Refuse(item, "the archive is damaged: " + reader_.problem);
            if (!out.Commit(force, what)) {
                WriteErr("updtool extract: kept the existing " + what + " (--force replaces it)\n");
                return;
            }
        } catch (const ToolError& error) {
            return Refuse(item, error.message);
        }
        WriteOut(NameUtf8(item.name) + "\n");
    }

private:
    EntryReader reader_;
    uint64_t fileSize_;
};

}  // namespace

int RunExtract(const Arguments& args)
{
    CommandLine line;
    if (!line.Parse("extract", args, {{"-C", true}, {"--force", false}}))
        return ExitTrouble;
    if (int code = CheckArchiveArguments("extract", line.positional, true))
        return code;
    const std::string path = PathArgument(line.positional[0]);
    const std::string folderArgument = line.Value("-C") ? PathArgument(*line.Value("-C")) : ".";
    const DWORD folderAttributes = GetFileAttributesA(folderArgument.c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES ||
        !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return Fail("extract", "'" + Utf8FromAnsi(folderArgument) + "' is not a folder");
    std::wstring folder(MAX_PATH * 4, L'\0');
    const std::wstring folderWide = WideFromAnsi(folderArgument);
    const DWORD length = GetFullPathNameW(folderWide.c_str(), DWORD(folder.size()), &folder[0], nullptr);
    if (length == 0 || length >= folder.size())
        return Fail("extract", "'" + Utf8FromAnsi(folderArgument) + "' is not a usable folder");
    folder.resize(length);
    if (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();

    ArchiveFile archive;
    if (int code = OpenArchiveArgument("extract", path, archive))
        return code;

    // The index first, whole, so that the same stream can then be read at
    // each entry's data.
    std::vector<ExtractItem> items;
    std::string damage;
    ArchiveIndex index(archive);
    try {
        if (index.Load()) {
            IndexRecord record;
            while (index.Next(record)) {
                items.emplace_back();
                ExtractItem& item = items.back();
                item.name.assign(record.name, record.nameLength);
                item.record = record;
                item.record.name = "";
                item.dataStart = index.DataStart(record);
            }
        } else if (index.header.version > 2 || index.header.count != 0) {
            damage = "the updater reads no entries from it";
        }
    } catch (const OCErrorException&) {
        damage = "its index cannot be read whole (see 'updtool verify')";
    }

    Extraction extraction(archive, index.fileSize, folder, line.Has("--force"));
    const std::vector<std::string> wanted(line.positional.begin() + 1, line.positional.end());
    std::vector<LookupKey> wantedKeys;
    std::vector<bool> wantedFound(wanted.size(), false);
    for (const std::string& name : wanted)
        wantedKeys.push_back(LookupKeyOf(PathArgument(name)));
    std::set<LookupKey> written;
    for (const ExtractItem& item : items) {
        const LookupKey key = LookupKeyOf(item.name);
        bool selected = wanted.empty();
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (wantedKeys[i] == key) {
                selected = true;
                wantedFound[i] = true;
            }
        }
        if (!selected)
            continue;
        if (!written.insert(key).second) {
            extraction.Refuse(item, "an earlier entry has the same name (the updater reads that one)");
            continue;
        }
        extraction.Write(item);
    }
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (!wantedFound[i]) {
            WriteErr("updtool extract: no entry named '" + Utf8FromAnsi(wanted[i]) + "'\n");
            ++extraction.failed;
        }
    }
    if (!damage.empty())
        return Fail("extract", "'" + Utf8FromAnsi(path) + "' is damaged: " + damage, ExitProblems);
    return extraction.failed ? ExitProblems : ExitOk;
}
