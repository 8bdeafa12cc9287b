#include "pak/archive_entry.h"

ArchiveEntry::ArchiveEntry() : name(), offset(0), size(0), compressed(0), packedSize(0) {}

ArchiveEntry::~ArchiveEntry() {}
