#include "updtool/index_walk.h"

#include "base/exceptions.h"

std::string LoadIndex(ArchiveIndex& index, bool& loaded)
{
    loaded = false;
    std::string failure;
    try {
        loaded = index.Load();
    } catch (const OCErrorException&) {
        failure = "its packed index cannot be read (see \"updtool verify\")";
    }
    const ArchiveHeader& header = index.header;
    if (index.fileSize < header.Length()) {
        loaded = false;
        return "the file ends inside the header (" + std::to_string(index.fileSize) + " of " +
               std::to_string(header.Length()) + " bytes)";
    }
    if (!failure.empty())
        return failure;
    if (header.version > 2)
        return "unknown format version " + std::to_string(header.version) +
               ": the updater reads no entries from it";
    if (!loaded && header.count != 0)
        return "the index is stated as 0 bytes but counts " + std::to_string(header.count) +
               " entries: the updater reads none";
    return std::string();
}

std::string RecordFailure(const ArchiveHeader& header, uint32_t number)
{
    return "record " + std::to_string(number) + " of " + std::to_string(header.count) +
           " runs past the end of the " +
           (header.version == 0 ? std::string("file")
                                : "index (" + std::to_string(header.indexSize) + " bytes)");
}

std::string WalkIndex(ArchiveFile& archive, const RecordVisit& visit)
{
    archive.Seek(0);
    ArchiveIndex index(archive);
    bool loaded = false;
    const std::string damage = LoadIndex(index, loaded);
    if (!damage.empty() || !loaded)
        return damage;
    return WalkRecords(index, visit);
}

std::string WalkRecords(ArchiveIndex& index, const RecordVisit& visit)
{
    IndexRecord record;
    for (uint32_t number = 0;; ++number) {
        try {
            if (!index.Next(record))
                return std::string();
        } catch (const OCErrorException&) {
            return RecordFailure(index.header, number + 1);
        }
        if (!visit(number, index, record))
            return std::string();
    }
}
