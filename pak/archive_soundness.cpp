#include "pak/archive_soundness.h"

#include "pak/archive_damage.h"
#include "pak/archive_file.h"
#include "pak/archive_index.h"

void CheckArchiveIsSound(const std::wstring& path)
{
    ArchiveFile file;
    {
        const QuietOpen quiet;
        if (!file.Open(path, ModeRead))
            return;
    }
    ArchiveIndex index(file);
    const bool hasIndex = index.Load();
    const ArchiveHeader& header = index.header;
    if (header.version > 2 || index.fileSize < header.Length() || (!hasIndex && header.count != 0))
        RaiseDamagedArchive();
    IndexRecord record;
    while (hasIndex && index.Next(record)) {
        if (!index.CanDeliver(record))
            RaiseDamagedArchive();
    }
}
