#include "update/replacement_run.h"

#include <windows.h>
#include <algorithm>
#include "base/exceptions.h"
#include "base/hex_digits.h"
#include "base/messages.h"
#include "base/owned.h"
#include "system/native_file.h"
#include "system/run_log.h"
#include "base/text_932.h"
#include "paths/open_failure.h"
#include "paths/wide_paths.h"
#include "journal/recovery.h"
#include "paths/lock_retry.h"

namespace {

std::wstring Joined(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() ? name : folder + L"\\" + name;
}

// How many of a run's files share one bucket folder: few enough that a new
// name there is quick to make.
const size_t kBucketItems = 64;

[[noreturn]] void RaiseNotReplaced(const std::wstring& target, DWORD error)
{
    LogFailure("replacing", target, error ? error : ERROR_ACCESS_DENIED);
    SetLastError(error ? error : ERROR_ACCESS_DENIED);
    throw OCErrorException(kOpenAbortedText, target);
}

bool CopyToDisk(const std::wstring& from, const std::wstring& to)
{
    return CopyFileW(from.c_str(), to.c_str(), TRUE) && FlushFileToDisk(FilePlace(to));
}

// Keeps the target's old bytes under backup while the target stays where it
// is: a second name for the same file (no bytes move, and the target is never
// missing, whenever the process ends); a copy where the volume has no such
// names. Waits out locks and asks as an open does; Ignore cannot leave an
// all-or-nothing update half done, so it ends it like Abort. A target that
// is gone has nothing to keep.
void KeepOldBytes(const FilePlace& target, const FilePlace& backup, const std::wstring& shown)
{
    LockRetry retry(shown, true);
    for (;;) {
        // Replaceable first: a second name for a file another program holds
        // could not be removed again until it lets go.
        Handle probe;
        if (OpenFile(FileOpen::ProbeMove, target, probe) && LinkOpenFile(probe, target, backup))
            return;
        DWORD error = GetLastError();
        if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION ||
            error == ERROR_TOO_MANY_LINKS) {
            if (CopyToDisk(target.Path(), backup.Path()))
                return;
            error = GetLastError();
        }
        if (error == ERROR_FILE_NOT_FOUND)
            return;
        if (!retry.Again(error))
            RaiseNotReplaced(shown, error);
    }
}

// An item that would be written through a link is refused as one that
// leaves its folder.
[[noreturn]] void RaiseLinked(const String& item)
{
    String message;
    message.Format(kRefusedItemText, TextOf(item));
    SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    throw OCErrorException(message.text);
}

}  // namespace

std::string RunTally::Summary() const
{
    std::string count = std::to_string(bytes);
    for (size_t digits = count.size(); digits > 3; digits -= 3)
        count.insert(digits - 3, ",");
    return std::to_string(applied) + (applied == 1 ? " item" : " items") + " applied (" + std::to_string(added) +
           " added), " + std::to_string(skipped) + " skipped, " + count + (bytes == 1 ? " byte" : " bytes") +
           " written";
}

ReplacementRun::ReplacementRun(const std::wstring& installFolder, const std::vector<ItemRecord>& items,
                               bool allOrNothing, RunTally& tally)
    : folder_(installFolder), allOrNothing_(allOrNothing), guard_(installFolder), committed_(false),
      keepJournal_(false), tally_(tally)
{
    for (const ItemRecord& item : items) {
        const std::wstring folder = FolderOf(item.name);
        if (std::find(folders_.begin(), folders_.end(), folder) == folders_.end())
            folders_.push_back(folder);
    }
    // An item left out would leave the update half done, so Ignore at a
    // prompt ends the run as Abort does, and everything is put back.
    if (allOrNothing_)
        ignoreAborts_.reset(new IgnoreAborts);
}

ReplacementRun::~ReplacementRun()
{
    ignoreAborts_.reset();
    try {
        if (allOrNothing_ && !committed_)
            RollBack();
        ready_.clear();
        // Deepest first: a folder is empty only once those below are gone.
        for (auto made = made_.rbegin(); made != made_.rend(); ++made)
            if (guard_.RemoveIfEmpty(*made))
                LogEvent("removed the folder the run made and left empty: " + LogText(folder_ + L"\\" + *made));
        if (keepJournal_)
            journal_.Close();
        else
            journal_.Remove();
    } catch (...) {
        // Best effort: what is left is cleaned up by the next run.
    }
}

bool ReplacementRun::EnsureJournal()
{
    if (journal_.Created())
        return true;
    // A folder typed in the dialog may not exist yet: the first copy would
    // make it anyway.
    if (!journal_.Create(folder_, allOrNothing_, folders_)) {
        CreateDirectories(folder_);
        if (!journal_.Create(folder_, allOrNothing_, folders_))
            return false;
    }
    LogEvent("run " + LogText(journal_.RunPrefix().substr(3, journal_.RunPrefix().size() - 4)) + ": journal " +
             LogText(journal_.Path()));
    return true;
}

void ReplacementRun::Apply(const ItemRecord& record, ProgressFunction progress, void* user, HANDLE held,
                           const Sha256::Digest* mustMatch)
{
    // Without its journal an all-or-nothing update could not be undone after
    // an interruption; an item-by-item one goes on, as it always could.
    if (!EnsureJournal()) {
        LogFailure("creating the run's journal", folder_, GetLastError());
        if (allOrNothing_)
            throw OCErrorException(kWriteFailedText);
    }
    const String& item = record.item;
    const std::wstring& relative = record.name;
    const std::wstring& target = record.target;
    const std::wstring itemFolder = RelativeFolderOf(relative);
    // Journaled before they are made: neither this run nor, after a kill,
    // the next one's recovery leaves one of them empty.
    const std::vector<std::wstring> missing = guard_.Missing(itemFolder);
    if (!missing.empty()) {
        if (journal_.Created() && !journal_.WriteMadeFolders(missing))
            LogFailure("writing the run's journal", folder_, GetLastError());
        made_.insert(made_.end(), missing.begin(), missing.end());
    }
    if (!guard_.Hold(itemFolder) || IsLink(target)) {
        LogEvent("refused: a link lies on the way to " + LogText(target));
        RaiseLinked(item);
    }
    const wchar_t* prefix = journal_.Created() ? journal_.RunPrefix().c_str() : kUpdaterPrefix;
    std::unique_ptr<PreparedCopy> copy(new PreparedCopy);
    CopyPlaces places;
    places.heldTargetFolder = guard_.Held(itemFolder);
    if (!allOrNothing_) {
        if (PrepareUpdateFile(TextOf(item), target, kReplaceExisting, kNoReadOnly, progress, user,
                              places, prefix, *copy, held, mustMatch)) {
            RefuseMovedFolders(itemFolder, item);
            const bool added = !ExistsAt(copy->TargetPlace());
            tally_.bytes += copy->bytes;
            if (PutInPlace(*copy)) {
                ++tally_.applied;
                tally_.added += added;
                LogEvent((added ? "added " : "replaced ") + LogText(target) + ": " + std::to_string(copy->bytes) +
                         " bytes written");
                return;
            }
        }
        ++tally_.skipped;
        LogEvent("left as it was: " + LogText(target));
        return;
    }
    // All the run's files of one folder wait in its own folder beside the
    // targets, a bucket of a few at a time.
    const std::wstring folder = FolderOf(relative);
    const std::wstring bucket =
        Joined(folder, RunFolderName(journal_.RunPrefix()) + L"\\" + HexDigits(staged_[folder]++ / kBucketItems, 2));
    if (!guard_.Hold(bucket)) {
        LogEvent("refused: a link lies on the way to " + LogText(folder_ + L"\\" + bucket));
        RaiseLinked(item);
    }
    places.folder = folder_ + L"\\" + bucket;
    places.heldFolder = guard_.Held(bucket);
    if (!PrepareUpdateFile(TextOf(item), target, kReplaceExisting, kNoReadOnly, progress, user,
                           places, prefix, *copy, held, mustMatch)) {
        ++tally_.skipped;
        LogEvent("left as it was: " + LogText(target));
        return;
    }
    tally_.bytes += copy->bytes;
    LogEvent("copied beside " + LogText(target) + ": " + std::to_string(copy->bytes) +
             " bytes written, to take its place once every item is copied");
    const std::wstring& made = copy->file.Path();
    const std::wstring name = LeafOf(made);
    plan_.push_back(JournalReplacement(relative, bucket + L"\\" + name,
                                       bucket + L"\\" + prefix + HexDigits(ready_.size(), 4) + L".bak"));
    ready_.push_back(std::move(copy));
}

void ReplacementRun::RefuseMovedFolders(const std::wstring& folder, const String& item) const
{
    // Windows refuses to rename a held folder; Wine renames it, and looks
    // its name up again for the rename that follows.
    if (guard_.Unmoved(folder))
        return;
    LogEvent("refused: a folder held below " + LogText(folder_) + " was moved away before a rename");
    if (!item.IsEmpty())
        RaiseLinked(item);
    SetLastError(ERROR_CANT_RESOLVE_FILENAME);
    throw OCErrorException(kWriteFailedText);
}

void ReplacementRun::Commit()
{
    if (allOrNothing_ && !committed_)
        ReplaceAll();
    committed_ = true;
}

void ReplacementRun::ReplaceAll()
{
    // The whole plan is on disk before the first target moves; a target
    // that does not exist has no old bytes to keep.
    // The old bytes kept are recorded by their size and digest, so that
    // nothing else is ever put back in their place.
    std::vector<JournalReplacement> plan = plan_;
    FileDigester digester;
    for (JournalReplacement& replacement : plan) {
        const std::wstring path = folder_ + L"\\" + replacement.target;
        const FilePlace target(LongPathForm(path));
        if (GetFileAttributesW(target.Path().c_str()) == INVALID_FILE_ATTRIBUTES) {
            replacement.backup.clear();
            continue;
        }
        // Read as it will be kept: locks waited out, then the user asked.
        LockRetry retry(path, true);
        for (Handle old; !OpenFile(FileOpen::ReadBesideWriters, target, old) ||
                         digester.DigestOpen(old.Get(), UINT64_MAX, replacement.backupSize,
                                             replacement.backupDigest) != FileRead::Done;) {
            const DWORD error = GetLastError();
            if (!retry.Again(error))
                RaiseNotReplaced(path, error);
        }
    }
    if (!plan.empty() && !journal_.WriteReplacing(plan)) {
        LogFailure("writing the run's journal", folder_, GetLastError());
        throw OCErrorException(kWriteFailedText);
    }
    LogEvent("all or nothing: " + std::to_string(plan.size()) + " copies take their places");

    for (size_t i = 0; i < ready_.size(); ++i) {
        PreparedCopy& copy = *ready_[i];
        if (!plan[i].backup.empty())
            KeepOldBytes(copy.TargetPlace(), guard_.PlaceOf(plan[i].backup), copy.target);
        RefuseMovedFolders(RelativeFolderOf(plan[i].target), String());
        RefuseMovedFolders(RelativeFolderOf(plan[i].copy), String());
        LockRetry retry(copy.target, true);
        while (!copy.file.RenameOver(copy.TargetPlace(), true)) {
            const DWORD error = GetLastError();
            if (!retry.Again(error))
                RaiseNotReplaced(copy.target, error);
        }
        // After the rename: name tunnelling would give the file the replaced
        // one's creation time.
        copy.SetTimesAndAttributes();
    }
    journal_.WriteMark(kJournalComplete);
    for (const JournalReplacement& replacement : plan)
        tally_.added += replacement.backup.empty();
    tally_.applied += plan.size();
    LogEvent("all or nothing: every copy is in its place");
    committed_ = true;
    ready_.clear();
    if (!DropBackups(guard_, journal_.Contents()))
        keepJournal_ = true;  // the next run removes what is left
}

void ReplacementRun::RollBack()
{
    const bool replacing = journal_.Contents().replacing;
    if (replacing)
        journal_.WriteMark(kJournalRollingBack);
    // Closed first, a file cannot be renamed over while it is open; copies
    // not in place stay until PutBack has seen them, as they tell it which
    // targets were never replaced.
    for (const std::unique_ptr<PreparedCopy>& copy : ready_)
        copy->file.Close();
    LogEvent(replacing ? "all or nothing: the run failed; putting every target back"
                       : "all or nothing: the run failed before any target was replaced; removing its copies");
    const bool done = replacing ? PutBack(guard_, journal_.Contents())
                                : RemoveRunCopies(guard_, journal_.Contents());
    LogEvent(done ? "all or nothing: the install folder is as it was before the run"
                  : "all or nothing: something is still held; the journal stays for the next run");
    if (!done)
        keepJournal_ = true;  // the next run finishes what is left
}
