#pragma once
// The journal's bytes: what a run writes and the next run reads back
// (update_journal.h keeps the file). The reader trusts nothing: the install
// folder may be writable by any user.
//
// Layout, little-endian: "UPDJNL02", then records, each
//   u32 kind, u32 payload length, payload, u32 CRC-32 of kind, length and payload
// Strings are u32 count of UTF-16 units, then the units; paths are relative
// to the install folder. Records:
//   kFolders      u32 all-or-nothing (0/1), u32 count, folders the run may
//                 put files in ("" for the install folder itself)
//   kReplacing    u32 count, then per copy: target, new copy, old file kept
//                 ("" when the target did not exist), the old file's u64
//                 size and 32-byte SHA-256 (zeros for none); written before
//                 the first target is replaced
//   kComplete     every target replaced
//   kRollingBack  the targets are being put back
//   kMadeFolders  u32 count, folders about to be made for an item, each
//                 below the one before; any number of these records
// A record is written in one call and flushed before what it announces is
// done. A record cut short, or one that fails its check, ends the journal
// there, as if it had not been written.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum JournalRecord : uint32_t {
    kJournalFolders = 1,
    kJournalReplacing = 2,
    kJournalComplete = 3,
    kJournalRollingBack = 4,
    kJournalMadeFolders = 5,
};

// One target of an all-or-nothing update and the files that stand for it.
class JournalReplacement {
public:
    std::wstring target;
    std::wstring copy;    // the new bytes until they take the target's place
    std::wstring backup;  // the old bytes while the targets are replaced; "" for a new file
    uint64_t backupSize = 0;  // what backup must hold to be put back
    std::array<unsigned char, 32> backupDigest = {};  // its SHA-256

    JournalReplacement();
    JournalReplacement(const std::wstring& target, const std::wstring& copy,
                       const std::wstring& backup);
    virtual ~JournalReplacement();
};

// What a journal says of its run.
class JournalContents {
public:
    std::wstring runPrefix;  // "upd<run>-": every file of the run begins with it
    bool allOrNothing;
    std::vector<std::wstring> folders;
    bool replacing;
    std::vector<JournalReplacement> replacements;
    bool complete;
    bool rollingBack;
    std::vector<std::wstring> madeFolders;  // in the order they were made
    size_t length;  // bytes up to the end of the last whole record

    JournalContents();
    virtual ~JournalContents();
};

// The journal file's first bytes.
extern const char kJournalMagic[8];

// Reads a journal's bytes as far as its records are whole; a record cut
// short, or one that fails its check, ends it there, as if it had not been
// written. runPrefix: "upd<run>-", from the file's name. False when the
// bytes are not a journal a run writes: no magic, a record of unknown kind
// or with more or less than its kind holds,
// folders not first or twice, a second list of replacements, a folder
// listed twice. contents.length: the bytes up to the end of the last whole
// record.
bool ParseJournal(const unsigned char* bytes, size_t size, const std::wstring& runPrefix,
                  JournalContents& contents);

// A record as the writer appends it: kind, payload length, payload, and the
// check value of all three.
std::vector<unsigned char> JournalRecordBytes(JournalRecord kind,
                                              const std::vector<unsigned char>& payload);

// Payload fields, little-endian: a u32, and a text as its count of UTF-16
// units followed by the units.
void PutJournalU32(std::vector<unsigned char>& out, uint32_t value);
void PutJournalText(std::vector<unsigned char>& out, const std::wstring& text);
// An old file's u64 size and SHA-256.
void PutJournalBackup(std::vector<unsigned char>& out, uint64_t size,
                      const std::array<unsigned char, 32>& digest);
