#include "updtool/folders/item_location.h"

#include <windows.h>
#include "base/exceptions.h"
#include "pak/archive_check.h"
#include "pak/archive_file.h"
#include "pak/archive_header.h"
#include "pak/archive_search.h"
#include "base/text_932.h"
#include "paths/wide_paths.h"
#include "base/shown_text.h"
#include "update/item_words.h"
#include "updtool/folders/working_folder.h"

void LocateItem(const char* name, ItemLocation& where)
{
    where = ItemLocation();
    if (PathExists(name)) {
        where.found = IsFolder(WideFrom932(name)) ? FoundFolder : FoundFile;
        return;
    }
    ArchiveFile file;
    try {
        if (!file.Open(name, ModeRead) || !file.inArchive)
            return;
    } catch (const OCErrorException&) {
        return;
    }
    LocateOpened(file, name, where);
}

void LocateOpened(const ArchiveFile& file, const char* name, ItemLocation& where)
{
    where.found = file.inArchive ? FoundArchive : FoundFile;
    if (!file.inArchive)
        return;
    where.archive = Utf8(LeafOf(file.path));
    where.entry = TextOf(file.name);
    // The lookup reads a doubled backslash in the name as one.
    String sought;
    sought.Assign(name);
    sought.Replace("\\\\", "\\");
    where.longerName = lstrlenA(TextOf(file.name)) > lstrlenA(TextOf(sought));
}

void LocateRecord(const ItemRecord& record, ItemLocation& where)
{
    if (record.verdict == VerdictMissing) {
        LocateItem(record.Text(), where);
        return;
    }
    where = ItemLocation();
    where.found = record.verdict == VerdictRefused || record.target.empty() ? FoundMissing
                  : record.prompt == PromptSourceIsFolder                 ? FoundFolder
                                                                          : FoundFile;
}

std::string ItemReason(const ItemRecord& record, const ItemLocation& where)
{
    if (record.verdict != VerdictMissing || where.found != FoundArchive)
        return VerdictReason(record);
    return "not a file in the update folder (only inside an archive: " + Quoted(where.entry) +
           " in " + where.archive + ")";
}

namespace {

void CheckArchive(const std::wstring& archive, Problems& problems)
{
    const std::string named = Utf8(archive);
    ArchiveHeader header;
    {
        ArchiveFile file;
        if (!file.Open(archive, ModeRead)) {
            problems.Warning(named + " cannot be opened; the lookup reads it as an archive without "
                                     "entries");
            return;
        }
        header.Read(file);
    }
    if (header.version > 2) {
        problems.Warning(named + " has an unknown format (version " +
                         std::to_string(header.version) + "): the lookup finds nothing in it");
        return;
    }
    // The updater's own check of an archive it applies: the index whole and
    // every entry's bounds.
    try {
        CheckArchiveIsSound(archive);
    } catch (const OCErrorException& failure) {
        problems.Error(named + " is damaged (see \"updtool verify\"): a lookup that reaches it fails "
                               "with \"" + Utf8(failure.wideMessage) + "\"");
    }
}

}  // namespace

void CheckArchives(Problems& problems)
{
    for (const std::wstring& archive : ListArchives(std::wstring()))
        CheckArchive(archive, problems);
}
