#include "updtool/archive_damage.h"

#include <windows.h>
#include "base/exceptions.h"
#include "pak/archive_file.h"
#include "pak/archive_index.h"
#include "pak/archive_search.h"
#include "updtool/report_text.h"
#include "updtool/text_conversion.h"

namespace {

std::string Named(const std::wstring& archive)
{
    return Utf8(archive);
}

void CheckArchive(const std::wstring& archive, Problems& problems)
{
    ArchiveFile file;
    if (!file.Open(archive, ModeRead)) {
        problems.Warning(Named(archive) + " cannot be opened; the lookup reads it as an archive "
                                          "without entries");
        return;
    }
    ArchiveIndex index(file);
    uint32_t read = 0;
    std::string damage;
    try {
        if (!index.Load()) {
            problems.Warning(Named(archive) + " has an unknown format (version " +
                             std::to_string(index.header.version) +
                             ", or an empty index): the lookup finds nothing in it");
            return;
        }
        IndexRecord record;
        while (index.Next(record)) {
            ++read;
            if (!index.CanDeliver(record)) {
                damage = "the data of entry " +
                         Quoted(std::string(record.name, record.nameLength)) +
                         " lies outside the file or cannot inflate to its size";
                break;
            }
        }
    } catch (const OCErrorException&) {
        damage = read == 0 ? "its index cannot be read"
                           : "its index breaks off after " + std::to_string(read) + " entries";
    }
    if (!damage.empty())
        problems.Error(Named(archive) + " is damaged: " + damage +
                       "; a lookup that reaches it fails with " + Quoted(std::string("データ解凍に失敗しました。")));
}

}  // namespace

void CheckArchives(Problems& problems)
{
    for (const std::wstring& archive : ListArchives(std::wstring()))
        CheckArchive(archive, problems);
}
