#pragma once
// An archive's index read with the updater's own reader, from the start of
// the file, as often as a reader needs it: readers keep no copy of the
// records (an index may hold millions), but read it again.

#include <cstdint>
#include <functional>
#include <string>
#include "pak/archive_index.h"

// Loads index (its archive at the file's start). "" when the updater reads
// the index's records; else why it reads none or fails, in words (loaded
// then tells whether records can be read at all). examine: open on the
// same archive, read again to name what is wrong with a packed index that
// does not load.
std::string LoadIndex(ArchiveIndex& index, ArchiveFile& examine, bool& loaded);

// Why record `number` (counted from 1) could not be read.
std::string RecordFailure(const ArchiveHeader& header, uint32_t number);

// Reads archive's index from its start, calling visit with each record's
// number (from 0) in index order until visit returns false. The record's
// name is valid during the call only. Returns "" when every record was
// read, else what stopped the reading.
typedef std::function<bool(uint32_t, const ArchiveIndex&, const IndexRecord&)> RecordVisit;
std::string WalkIndex(ArchiveFile& archive, const RecordVisit& visit);
// The same over an index loaded already, whose records have not been read.
std::string WalkRecords(ArchiveIndex& index, const RecordVisit& visit);
