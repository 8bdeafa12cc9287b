#include "journal/recovery.h"

#include <windows.h>
#include <vector>
#include "system/run_log.h"
#include "paths/folder_listing.h"
#include "paths/wide_paths.h"
#include "paths/folder_guard.h"
#include "journal/journal_judge.h"
#include "paths/lock_retry.h"
#include "base/exceptions.h"
#include "base/messages.h"
#include "system/native_file.h"
#include <algorithm>

namespace {

std::wstring Full(const std::wstring& installFolder, const std::wstring& relative)
{
    return LongPathForm(relative.empty() ? installFolder : installFolder + L"\\" + relative);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Files of the run may have been given read-only by the update. False when
// the file is still there (another program holds it).
bool Remove(const std::wstring& path)
{
    if (!Exists(path))
        return true;
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileW(path.c_str()) != 0;
}

// A folder of the run's own, once empty. A scanner or a window looking into
// it may hold it a moment; after that it stays (and so does the journal).
bool RemoveFolder(const std::wstring& folder)
{
    for (LockWait wait;;) {
        if (RemoveDirectoryW(folder.c_str()) || !Exists(folder))
            return true;
        if (GetLastError() == ERROR_DIR_NOT_EMPTY || !wait.Wait())
            return false;
    }
}

// Removes the run's files in folder; a folder of the run's own (one of its
// buckets) is gone too once nothing else is left in it. False when something
// of the run's is still there.
bool RemoveRunFiles(const std::wstring& folder, const std::wstring& prefix, bool ownFolder)
{
    bool done = true;
    for (FolderListing list(folder + L"\\" + prefix + L"*"); list.Next();) {
        const std::wstring name = list.Name();
        if (!list.IsFolder() &&
            (IsRunFileName(name, prefix, L".tmp") ||
             (ownFolder && IsRunFileName(name, prefix, L".bak"))))
            done = Remove(folder + L"\\" + name) && done;
    }
    return ownFolder ? RemoveFolder(folder) && done : done;
}

// What recovery renames or removes lies below the install folder without a
// link on the way: else a user could lead it anywhere.
bool Unlinked(const std::wstring& installFolder, const JournalReplacement& replacement)
{
    const size_t slash = replacement.target.find_last_of(L"\\/");
    return NoLinkBelow(installFolder, slash == std::wstring::npos ? std::wstring()
                                                                   : replacement.target.substr(0, slash)) &&
           NoLinkBelow(installFolder, replacement.copy) &&
           (replacement.backup.empty() || NoLinkBelow(installFolder, replacement.backup));
}

bool MarkRollingBack(const std::wstring& installFolder, const std::wstring& journal,
                     const JournalContents& contents, const std::vector<char>& bytes)
{
    UpdateJournal resumed;
    return resumed.Resume(installFolder, journal, contents, bytes) && resumed.WriteMark(kJournalRollingBack);
}

// Whether the kept old file holds the bytes the run kept: its size first,
// then its SHA-256.
bool KeptAsRecorded(const std::wstring& backup, const JournalReplacement& replacement)
{
    Handle file;
    LARGE_INTEGER size;
    if (!OpenFile(FileOpen::Read, FilePlace(backup), file) || !GetFileSizeEx(file.Get(), &size) ||
        uint64_t(size.QuadPart) != replacement.backupSize)
        return false;
    FileDigester digester;
    uint64_t read = 0;
    Sha256::Digest digest;
    return digester.DigestOpen(file.Get(), replacement.backupSize, read, digest) == FileRead::Done &&
           read == replacement.backupSize && digest == replacement.backupDigest;
}

}  // namespace

bool PutBack(const std::wstring& installFolder, const JournalContents& contents, std::wstring* altered)
{
    bool done = true;
    // Last first: the same target may be listed more than once.
    for (auto it = contents.replacements.rbegin(); it != contents.replacements.rend(); ++it) {
        if (!Unlinked(installFolder, *it)) {
            done = false;
            continue;
        }
        const std::wstring target = Full(installFolder, it->target);
        const std::wstring copy = Full(installFolder, it->copy);
        if (!it->backup.empty()) {
            // The old bytes kept: they take the target's place again in one
            // rename, whatever it holds now.
            const std::wstring backup = Full(installFolder, it->backup);
            if (Exists(backup) && Exists(copy)) {
                // The copy never took the target's place: the second name
                // is all there is to undo.
                done = Remove(backup) && done;
            } else if (Exists(backup) && !KeptAsRecorded(backup, *it)) {
                // Not the bytes the run kept: never put in the target's
                // place, whoever made it.
                LogEvent("recovery: " + LogText(backup) + " is not the file the run kept: the target stays as it is");
                if (altered && altered->empty())
                    *altered = backup;
                done = false;
                continue;
            } else if (Exists(backup)) {
                SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
                done = MoveFileExW(backup.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) &&
                       done;
            }
        } else if (!Exists(copy)) {
            // New to the folder, and the copy took its place.
            done = Remove(target) && done;
        }
        done = Remove(copy) && done;
    }
    return RemoveRunCopies(installFolder, contents) && done;
}

bool DropBackups(const std::wstring& installFolder, const JournalContents& contents)
{
    bool done = true;
    for (const JournalReplacement& replacement : contents.replacements)
        if (!replacement.backup.empty())
            done = NoLinkBelow(installFolder, replacement.backup) &&
                   Remove(Full(installFolder, replacement.backup)) && done;
    return RemoveRunCopies(installFolder, contents) && done;
}

bool RemoveRunCopies(const std::wstring& installFolder, const JournalContents& contents)
{
    if (contents.runPrefix.empty())
        return true;
    bool done = true;
    for (const std::wstring& folder : contents.folders) {
        const std::wstring own = folder.empty() ? RunFolderName(contents.runPrefix)
                                                : folder + L"\\" + RunFolderName(contents.runPrefix);
        if (!NoLinkBelow(installFolder, own)) {
            done = false;
            continue;
        }
        const std::wstring base = Full(installFolder, folder);
        done = RemoveRunFiles(base, contents.runPrefix, false) && done;
        // The run's own folder, upd<run>.d, and its buckets.
        const std::wstring ownPath = base + L"\\" + RunFolderName(contents.runPrefix);
        std::vector<std::wstring> buckets;
        FolderListing list(ownPath + L"\\*");
        // A link among the buckets is not the run's: left alone.
        while (list.Next())
            if (list.IsFolder() && !(list.Entry().dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                buckets.push_back(ownPath + L"\\" + list.Name());
        if (buckets.empty() && list.Error() != 0)
            continue;
        for (const std::wstring& bucket : buckets)
            done = RemoveRunFiles(bucket, contents.runPrefix, true) && done;
        done = RemoveFolder(ownPath) && done;
    }
    return done;
}

bool ReplacedAll(const std::wstring& installFolder, const JournalContents& contents)
{
    if (contents.complete)
        return true;
    if (!contents.replacing || contents.rollingBack)
        return false;
    for (const JournalReplacement& replacement : contents.replacements)
        if (Exists(Full(installFolder, replacement.copy)))
            return false;
    return true;
}

void RecoverInterruptedUpdates(const std::wstring& installFolder)
{
    if (installFolder.empty())
        return;
    std::wstring journal;
    JournalContents contents;
    std::vector<char> bytes;
    const JournalFound found = ReadVouchedJournal(installFolder, journal, contents, bytes);
    if (found == JournalNone || found == JournalGone) {
        LogEvent("recovery: no journal of an interrupted run in " + LogText(installFolder));
        return;
    }
    // Only a journal this program wrote, as the registry vouches for it,
    // is acted on: the folder may be writable by anyone.
    if (found == JournalUnvouched || (found == JournalRead && !JournalIsConfined(contents))) {
        LogEvent("recovery: " + LogText(journal) +
                 " is not the journal this program vouches for: left untouched");
        return;
    }
    if (found == JournalEmpty) {
        LogEvent("recovery: " + LogText(journal) + " holds nothing of its run: removed");
        UpdateJournal::RemoveVouched(installFolder, journal);
        return;
    }
    bool done;
    const char* what;
    std::wstring altered;
    if (contents.allOrNothing && contents.replacing && ReplacedAll(installFolder, contents)) {
        what = "an all-or-nothing run had replaced every target: the new files kept, the old ones removed";
        done = DropBackups(installFolder, contents);
    } else if (contents.allOrNothing && contents.replacing) {
        // Marked before anything is undone: the copies removed on the way
        // must not make a later recovery believe every target replaced.
        if (!contents.rollingBack && !MarkRollingBack(installFolder, journal, contents, bytes)) {
            LogFailure("marking for putting back", journal, GetLastError());
            return;
        }
        what = "an all-or-nothing run had not finished: every target it replaced put back";
        done = PutBack(installFolder, contents, &altered);
    } else {
        what = "the run's unfinished copies removed";
        done = RemoveRunCopies(installFolder, contents);
    }
    LogEvent("recovery: " + LogText(journal) + ": " + what + " (" +
             std::to_string(contents.replacements.size()) + " replacements listed)" +
             (done ? "; journal removed" : "; something is still held: journal kept for the next run"));
    // Something still held: the journal stays for the next run.
    if (done)
        UpdateJournal::RemoveVouched(installFolder, journal);
    if (!altered.empty()) {
        SetLastError(ERROR_FILE_CORRUPT);
        throw OCErrorException(kFileAlteredText, altered);
    }
}
