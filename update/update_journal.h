#pragma once
// The journal of an update under way, kept in the install folder so that the
// next run can finish what an interrupted one left behind, and never touch a
// file it did not make.
//
// One run writes upd<run>.jnl (run: 16 hex digits, new for every run) in the
// install folder. Its new copies are upd<run>-XXXX.tmp beside their targets;
// an all-or-nothing update keeps its copies, and the old files while the new
// ones take their places (upd<run>-XXXX.bak), in upd<run>.d\<bucket> beside
// the targets: all of them exist at once, and a folder that holds few names
// takes a new one faster than the install folder with all of its.
//
// Layout, little-endian: "UPDJNL01", then records, each
//   u32 kind, u32 payload length, payload, u32 CRC-32 of kind, length and payload
// Strings are u32 count of UTF-16 units, then the units; paths are relative
// to the install folder. Records:
//   kFolders      u32 all-or-nothing (0/1), u32 count, folders the run may
//                 put files in ("" for the install folder itself)
//   kReplacing    u32 count, then per copy: target, new copy, old file kept
//                 ("" when the target did not exist); written before the
//                 first target is replaced
//   kComplete     every target replaced
//   kRollingBack  the targets are being put back
// A record is written in one call and flushed before what it announces is
// done. A record cut short, or one that fails its check, ends the journal
// there, as if it had not been written.

#include <cstdint>
#include <string>
#include <vector>
#include "base/owned.h"

enum JournalRecord : uint32_t {
    kJournalFolders = 1,
    kJournalReplacing = 2,
    kJournalComplete = 3,
    kJournalRollingBack = 4,
};

// One target of an all-or-nothing update and the files that stand for it.
class JournalReplacement {
public:
    std::wstring target;
    std::wstring copy;    // the new bytes until they take the target's place
    std::wstring backup;  // the old bytes while the targets are replaced; "" for a new file

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
    size_t length;  // bytes up to the end of the last whole record

    JournalContents();
    virtual ~JournalContents();
};

class UpdateJournal {
public:
    UpdateJournal();
    UpdateJournal(const UpdateJournal&) = delete;
    UpdateJournal& operator=(const UpdateJournal&) = delete;
    // Closes the journal; the file stays until Remove.
    virtual ~UpdateJournal();

    // Creates a new journal for a new run in installFolder, with its folders
    // record. False with the system's error when it cannot be written.
    bool Create(const std::wstring& installFolder, bool allOrNothing,
                const std::vector<std::wstring>& folders);
    // Takes up the journal an earlier run left at path, as ReadJournal read
    // it, to write more records: whatever follows its last whole record is
    // cut off first. False with the system's error; a journal that is a link
    // is not opened.
    bool Resume(const std::wstring& path, const JournalContents& contents);
    bool Created() const { return file_.Valid(); }
    // "upd<run>-", for the run's files.
    const std::wstring& RunPrefix() const { return contents_.runPrefix; }
    const JournalContents& Contents() const { return contents_; }

    // Writes a record and flushes it. False with the system's error.
    bool WriteReplacing(const std::vector<JournalReplacement>& replacements);
    bool WriteMark(JournalRecord kind);

    // Closes and deletes the journal.
    void Remove();
    // Closes the journal and leaves it for the next run.
    void Close() { file_.Reset(); }

private:
    bool Append(JournalRecord kind, const std::vector<unsigned char>& payload);

    Handle file_;
    std::wstring path_;
    JournalContents contents_;
};

// Reads the journal at path, as far as its records are whole. False when it
// is not one (wrong name or header): such a file belongs to somebody else
// and is left alone.
bool ReadJournal(const std::wstring& path, JournalContents& contents);

// "upd<run>.d", the folder an all-or-nothing run keeps its files in, in each
// of its folders.
std::wstring RunFolderName(const std::wstring& runPrefix);

// The journals in folder, by full path: upd<16 hex digits>.jnl, links left
// out.
std::vector<std::wstring> JournalsIn(const std::wstring& folder);
