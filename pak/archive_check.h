#pragma once
// The one check of a whole archive, read with the updater's own index
// reader, for the updater (before it applies an archive) and for the
// publisher's tool (verify, and every command that trusts an archive).
//
// Two depths. Bounds reads the index alone:
//   the file holds the whole header; a known version; a version 1/2 index
//   that is not stated as 0 bytes while entries are counted; the packed
//   index within the file, inflating to exactly indexSize bytes; records
//   within the index (version 0: within the file); each entry's stored
//   bytes within the file and below 2 GiB, a compressed entry's stream not
//   empty and plausible for its size.
// Full adds every entry's data: each compressed entry inflated to exactly
// its size and its zlib check value confirmed, through fixed buffers (no
// entry is ever held whole).
//
// Problems are of two kinds. Damage is what the updater cannot deliver: a
// lookup that meets it fails with "データ解凍に失敗しました。". The rest are
// faults of the archive's making that the updater passes over but a
// publisher must hear of: a name with a NUL byte, a name the given rule
// refuses, a name that repeats an earlier one (case ignored, as the lookup
// ignores it), bytes of the index or of a stream beyond what they use, data
// overlapping other data (entries may share the very same bytes) or, for
// version 0, the index.
//
// Bounded for hostile archives: each distinct stored range is inflated
// once, however many entries share it, and never past the largest size
// stated for it; overlapping data is inflated only while all inflated so
// far stays within twice the file (beyond, the archive counts as damaged:
// no archive without overlaps gets there); memory holds
// a few words per entry, never the entries' names, and the first problems
// in full (the rest are counted).

#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "pak/archive_file.h"

enum CheckDepth {
    CheckBounds,  // the header and index, and every entry's bounds
    CheckFull,    // and every compressed entry inflated
};

// Problems kept in full; more are only counted.
const size_t kShownProblems = 100;

// Why a name (code page 932, up to its NUL) must not be stored, as the
// whole message; "" when it may be. Null: names are not judged.
typedef std::function<std::string(const std::string&)> NameRule;

// Texts are ASCII (UTF-8); names are as stored (code page 932).
class ArchiveProblem {
public:
    bool forEntry;
    bool damage;          // the updater cannot deliver what is at fault
    std::string entry;    // forEntry: the entry's name
    std::string message;  // one line
    // Another entry the message names, between message and suffix.
    bool namesOther;
    std::string other;
    std::string suffix;

    ArchiveProblem()
        : forEntry(false), damage(false), entry(), message(), namesOther(false), other(), suffix()
    {
    }
    virtual ~ArchiveProblem() {}
};

class ArchiveReport {
public:
    uint32_t version;
    uint32_t count;          // as the header states it
    uint32_t checked;        // entries whose records could be read
    uint64_t unpackedSize;   // the sizes of those entries, summed
    uint64_t problemCount;   // all problems found
    uint64_t damageCount;    // of them, damage
    std::vector<ArchiveProblem> problems;  // the first kShownProblems: the archive's, then by entry

    ArchiveReport()
        : version(0), count(0), checked(0), unpackedSize(0), problemCount(0), damageCount(0)
    {
    }
    virtual ~ArchiveReport() {}
};

// archive: open on the archive file, at its start, for the index; data:
// open on the same file, for the entries' data.
void CheckArchive(ArchiveFile& archive, ArchiveFile& data, CheckDepth depth,
                  ArchiveReport& report, const NameRule& nameRule = NameRule());

// Whether an archive may replace another: a shipped archive that was cut
// short (an interrupted download) or damaged otherwise must never take the
// place of a sound installed one; its revision text alone cannot tell.
// Checks the archive at path to the given depth (the updater: full, before
// it replaces an installed archive) and raises the damaged-archive failure
// ("データ解凍に失敗しました。") at any damage; the other faults pass. A path
// that cannot be opened is left to the copy to report.
void CheckArchiveIsSound(const std::wstring& path, CheckDepth depth = CheckBounds);
// The same for the very file held is open on (ArchiveFile::OpenHeld): the
// archive checked is the one then read from held.
void CheckArchiveIsSound(HANDLE held, const std::wstring& path, CheckDepth depth);
