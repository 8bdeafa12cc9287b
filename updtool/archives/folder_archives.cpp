#include "updtool/archives/folder_archives.h"

#include "base/exceptions.h"
#include "pak/archive_check.h"
#include "pak/archive_file.h"
#include "pak/archive_header.h"
#include "pak/archive_search.h"
#include "base/shown_text.h"

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
