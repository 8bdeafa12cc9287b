#pragma once
// The journal of an update under way, kept in the install folder so that the
// next run can finish what an interrupted one left behind, and never touch a
// file it did not make.
//
// One run writes upd<run>.jnl (run: 16 hex digits, new for every run) in the
// install folder, and vouches for its bytes in the registry before each
// write (journal_voucher.h): only a journal so vouched for is ever read. Its new copies are upd<run>-XXXX.tmp beside their targets;
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
    // Takes up the journal an earlier run left in installFolder, as
    // ReadJournal read it (bytes), to write more records: whatever follows
    // its last whole record is cut off first. False with the system's error;
    // a journal that is a link is not opened.
    bool Resume(const std::wstring& installFolder, const std::wstring& path, const JournalContents& contents,
                const std::vector<char>& bytes);
    bool Created() const { return file_.Valid(); }
    // "upd<run>-", for the run's files.
    const std::wstring& RunPrefix() const { return contents_.runPrefix; }
    const JournalContents& Contents() const { return contents_; }
    const std::wstring& Path() const { return path_; }

    // Writes a record and flushes it. False with the system's error; with
    // ERROR_FILE_TOO_LARGE when the journal would grow past what the next
    // run reads.
    bool WriteReplacing(const std::vector<JournalReplacement>& replacements);
    bool WriteMark(JournalRecord kind);
    // Before folders are made: the run leaves none of them empty, nor does
    // the recovery of a run that was ended.
    bool WriteMadeFolders(const std::vector<std::wstring>& folders);

    // Closes and deletes the journal, and what vouches for it.
    void Remove();
    // Deletes the journal at path in installFolder and what vouches for it.
    static void RemoveVouched(const std::wstring& installFolder, const std::wstring& path);
    // Closes the journal and leaves it for the next run.
    void Close() { file_.Reset(); }

private:
    bool Append(JournalRecord kind, const std::vector<unsigned char>& payload);

    Handle file_;
    std::vector<unsigned char> bytes_;  // written so far
    size_t onDisk_ = 0;                 // of them, in the file
    std::wstring path_;
    std::wstring folderKey_;  // the install folder's final path
    JournalContents contents_;
};

// How reading the journal an install folder's voucher names came out.
enum JournalFound {
    JournalNone,       // nothing vouches for a journal there
    JournalGone,       // vouched for, but not there (its voucher is dropped)
    JournalUnvouched,  // there, but not the bytes vouched for: left alone
    JournalEmpty,      // vouched for, written no further than its first bytes
    JournalRead,       // vouched for and read: contents
};

// Reads the journal the voucher for installFolder names (ParseJournal):
// only its name, only when its bytes, or those up to its last whole record,
// are what the voucher holds. bytes: what was read. A journal of a wrong
// name or too large is not read.
JournalFound ReadVouchedJournal(const std::wstring& installFolder, std::wstring& path,
                                JournalContents& contents, std::vector<char>& bytes);

// "upd<run>.d", the folder an all-or-nothing run keeps its files in, in each
// of its folders.
std::wstring RunFolderName(const std::wstring& runPrefix);
