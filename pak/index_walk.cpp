#include "pak/index_walk.h"

#include "base/exceptions.h"
#include "pak/entry_reader.h"

namespace {

std::string Bytes(uint64_t n)
{
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// Why the packed index did not load: inflated again with the entry reader,
// which names the fault; an index that inflates well is one larger than the
// updater accepts for its packed size.
std::string PackedIndexFailure(const ArchiveIndex& index, ArchiveFile& examine)
{
    const ArchiveHeader& header = index.header;
    if (header.packedIndexSize > index.fileSize - header.Length())
        return "the packed index (" + Bytes(header.packedIndexSize) +
               ") runs past the end of the file (" + Bytes(index.fileSize) + ")";
    IndexRecord record;
    record.compressed = 1;
    record.size = header.indexSize;
    record.packedSize = header.packedIndexSize;
    EntryReader reader(examine);
    reader.Start(header.Length(), index.fileSize, record);
    reader.Drain();
    if (!reader.problem.empty())
        return "the packed index: " + reader.problem;
    return "the index of " + Bytes(header.indexSize) + " is larger than the updater reads from " +
           Bytes(header.packedIndexSize);
}

}  // namespace

std::string LoadIndex(ArchiveIndex& index, ArchiveFile& examine, bool& loaded)
{
    loaded = false;
    bool failed = false;
    try {
        loaded = index.Load();
    } catch (const OCErrorException&) {
        failed = true;
    }
    const ArchiveHeader& header = index.header;
    if (index.fileSize < header.Length()) {
        loaded = false;
        return "the file ends inside the header (" + std::to_string(index.fileSize) + " of " +
               Bytes(header.Length()) + ")";
    }
    if (failed)
        return PackedIndexFailure(index, examine);
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
    const std::string damage = LoadIndex(index, archive, loaded);
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
