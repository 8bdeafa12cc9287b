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
// takes a new one faster than the install folder with all of its. Its bytes:
// journal_format.h.

#include <string>
#include <vector>
#include "base/owned.h"
#include "journal/journal_format.h"

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

    // Writes a record and flushes it. False with the system's error; with
    // ERROR_FILE_TOO_LARGE when the journal would grow past what the next
    // run reads.
    bool WriteReplacing(const std::vector<JournalReplacement>& replacements);
    bool WriteMark(JournalRecord kind);

    // Closes and deletes the journal.
    void Remove();
    // Closes the journal and leaves it for the next run.
    void Close() { file_.Reset(); }

private:
    bool Append(JournalRecord kind, const std::vector<unsigned char>& payload);

    Handle file_;
    uint64_t size_;  // bytes written so far
    std::wstring path_;
    JournalContents contents_;
};

// Reads the journal at path (ParseJournal). False when it is not one: a
// wrong name, too large, or not in the form a run writes; such a file
// belongs to somebody else and is left alone.
bool ReadJournal(const std::wstring& path, JournalContents& contents);

// "upd<run>.d", the folder an all-or-nothing run keeps its files in, in each
// of its folders.
std::wstring RunFolderName(const std::wstring& runPrefix);

// The journals in folder, by full path: upd<16 hex digits>.jnl, links left
// out.
std::vector<std::wstring> JournalsIn(const std::wstring& folder);
