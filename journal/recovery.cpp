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

// Everything recovery removes or renames goes through the folders the guard
// holds (paths/folder_guard.h): a folder swapped for a link meanwhile is not
// followed.
bool Exists(const FolderGuard& guard, const std::wstring& relative)
{
    return ExistsAt(guard.PlaceOf(relative));
}

// Files of the run may have been given read-only by the update. False when
// the file is still there (another program holds it).
bool Remove(const FolderGuard& guard, const std::wstring& relative)
{
    const FilePlace place = guard.PlaceOf(relative);
    return !ExistsAt(place) || DeleteFileAt(place);
}

// A folder of the run's own, once empty, let go of first. A scanner or a
// window looking into it may hold it a moment; after that it stays (and so
// does the journal).
bool RemoveFolder(FolderGuard& guard, const std::wstring& relative)
{
    guard.Release(relative);
    for (LockWait wait;;) {
        if (Remove(guard, relative))
            return true;
        if (GetLastError() == ERROR_DIR_NOT_EMPTY || !wait.Wait())
            return false;
    }
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() ? name : folder + L"\\" + name;
}

// Removes the run's files in folder; a folder of the run's own (one of its
// buckets) is gone too once nothing else is left in it. False when something
// of the run's is still there.
bool RemoveRunFiles(FolderGuard& guard, const std::wstring& folder, const std::wstring& prefix, bool ownFolder)
{
    bool done = true;
    for (FolderListing list(guard.PlaceOf(Joined(folder, prefix + L"*")).Path()); list.Next();) {
        const std::wstring name = list.Name();
        if (!list.IsFolder() &&
            (IsRunFileName(name, prefix, L".tmp") || (ownFolder && IsRunFileName(name, prefix, L".bak"))))
            done = Remove(guard, Joined(folder, name)) && done;
    }
    return ownFolder ? RemoveFolder(guard, folder) && done : done;
}

// The folders of what recovery renames or removes, held: a link on the way
// (which a user could have put there) leaves the entry alone.
bool Hold(FolderGuard& guard, const JournalReplacement& replacement)
{
    return guard.Hold(RelativeFolderOf(replacement.target)) && guard.Hold(RelativeFolderOf(replacement.copy)) &&
           (replacement.backup.empty() || guard.Hold(RelativeFolderOf(replacement.backup)));
}

// The kept old file takes the target's place again in one rename, through
// the held folders; a read-only target is replaceable first.
bool PutInPlace(const FolderGuard& guard, const JournalReplacement& replacement)
{
    const FilePlace backup = guard.PlaceOf(replacement.backup), target = guard.PlaceOf(replacement.target);
    Handle kept, old;
    if (OpenFile(FileOpen::RemoveItself, target, old))
        ClearReadOnly(old);
    old.Reset();
    // Wine looks a held folder's name up again for a rename.
    return OpenFile(FileOpen::ProbeMove, backup, kept) && guard.Unmoved(RelativeFolderOf(replacement.target)) &&
           guard.Unmoved(RelativeFolderOf(replacement.backup)) &&
           RenameOpenFile(kept, backup, target, true);
}

bool MarkRollingBack(const std::wstring& installFolder, const std::wstring& journal,
                     const JournalContents& contents, const std::vector<char>& bytes)
{
    UpdateJournal resumed;
    return resumed.Resume(installFolder, journal, contents, bytes) && resumed.WriteMark(kJournalRollingBack);
}

// Whether the kept old file holds the bytes the run kept: its size first,
// then its SHA-256.
bool KeptAsRecorded(const FilePlace& backup, const JournalReplacement& replacement)
{
    Handle file;
    LARGE_INTEGER size;
    if (!OpenFile(FileOpen::Read, backup, file) || !GetFileSizeEx(file.Get(), &size) ||
        uint64_t(size.QuadPart) != replacement.backupSize)
        return false;
    FileDigester digester;
    uint64_t read = 0;
    Sha256::Digest digest;
    return digester.DigestOpen(file.Get(), replacement.backupSize, read, digest) == FileRead::Done &&
           read == replacement.backupSize && digest == replacement.backupDigest;
}

}  // namespace

bool PutBack(FolderGuard& guard, const JournalContents& contents, std::wstring* altered)
{
    bool done = true;
    // Last first: the same target may be listed more than once.
    for (auto it = contents.replacements.rbegin(); it != contents.replacements.rend(); ++it) {
        if (!Hold(guard, *it)) {
            done = false;
            continue;
        }
        if (!it->backup.empty()) {
            // The old bytes kept: they take the target's place again in one
            // rename, whatever it holds now.
            if (Exists(guard, it->backup) && Exists(guard, it->copy)) {
                // The copy never took the target's place: the second name
                // is all there is to undo.
                done = Remove(guard, it->backup) && done;
            } else if (Exists(guard, it->backup) && !KeptAsRecorded(guard.PlaceOf(it->backup), *it)) {
                // Not the bytes the run kept: never put in the target's
                // place, whoever made it.
                const std::wstring backup = guard.PlaceOf(it->backup).Path();
                LogEvent("recovery: " + LogText(backup) + " is not the file the run kept: the target stays as it is");
                if (altered && altered->empty())
                    *altered = backup;
                done = false;
                continue;
            } else if (Exists(guard, it->backup)) {
                done = PutInPlace(guard, *it) && done;
            }
        } else if (!Exists(guard, it->copy)) {
            // New to the folder, and the copy took its place.
            done = Remove(guard, it->target) && done;
        }
        done = Remove(guard, it->copy) && done;
    }
    return RemoveRunCopies(guard, contents) && done;
}

bool DropBackups(FolderGuard& guard, const JournalContents& contents)
{
    bool done = true;
    for (const JournalReplacement& replacement : contents.replacements)
        if (!replacement.backup.empty())
            done = guard.Hold(RelativeFolderOf(replacement.backup)) && Remove(guard, replacement.backup) && done;
    return RemoveRunCopies(guard, contents) && done;
}

bool RemoveRunCopies(FolderGuard& guard, const JournalContents& contents)
{
    if (contents.runPrefix.empty())
        return true;
    bool done = true;
    for (const std::wstring& folder : contents.folders) {
        const std::wstring own = Joined(folder, RunFolderName(contents.runPrefix));
        if (!guard.Hold(folder)) {
            done = false;
            continue;
        }
        done = RemoveRunFiles(guard, folder, contents.runPrefix, false) && done;
        if (!Exists(guard, own))
            continue;
        // The run's own folder, upd<run>.d, and its buckets; a link among
        // them is not the run's: left alone.
        if (!guard.Hold(own)) {
            done = false;
            continue;
        }
        std::vector<std::wstring> buckets;
        FolderListing list(guard.PlaceOf(Joined(own, L"*")).Path());
        while (list.Next())
            if (list.IsFolder() && !(list.Entry().dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                buckets.push_back(Joined(own, list.Name()));
        if (buckets.empty() && list.Error() != 0)
            continue;
        for (const std::wstring& bucket : buckets)
            done = guard.Hold(bucket) && RemoveRunFiles(guard, bucket, contents.runPrefix, true) && done;
        done = RemoveFolder(guard, own) && done;
    }
    return done;
}

bool ReplacedAll(FolderGuard& guard, const JournalContents& contents)
{
    if (contents.complete)
        return true;
    if (!contents.replacing || contents.rollingBack)
        return false;
    for (const JournalReplacement& replacement : contents.replacements)
        if (guard.Hold(RelativeFolderOf(replacement.copy)) && Exists(guard, replacement.copy))
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
    FolderGuard guard(installFolder, false);
    if (contents.allOrNothing && contents.replacing && ReplacedAll(guard, contents)) {
        what = "an all-or-nothing run had replaced every target: the new files kept, the old ones removed";
        done = DropBackups(guard, contents);
    } else if (contents.allOrNothing && contents.replacing) {
        // Marked before anything is undone: the copies removed on the way
        // must not make a later recovery believe every target replaced.
        if (!contents.rollingBack && !MarkRollingBack(installFolder, journal, contents, bytes)) {
            LogFailure("marking for putting back", journal, GetLastError());
            return;
        }
        what = "an all-or-nothing run had not finished: every target it replaced put back";
        done = PutBack(guard, contents, &altered);
    } else {
        what = "the run's unfinished copies removed";
        done = RemoveRunCopies(guard, contents);
    }
    LogEvent("recovery: " + LogText(journal) + ": " + what + " (" +
             std::to_string(contents.replacements.size()) + " replacements listed)" +
             (done ? "; journal removed" : "; something is still held: journal kept for the next run"));
    // Something still held: the journal stays for the next run.
    if (done) {
        for (auto made = contents.madeFolders.rbegin(); made != contents.madeFolders.rend(); ++made)
            if (guard.RemoveIfEmpty(*made))
                LogEvent("recovery: removed the folder the run made and left empty: " +
                         LogText(installFolder + L"\\" + *made));
        UpdateJournal::RemoveVouched(installFolder, journal);
    }
    if (!altered.empty()) {
        SetLastError(ERROR_FILE_CORRUPT);
        throw OCErrorException(kFileAlteredText, altered);
    }
}
