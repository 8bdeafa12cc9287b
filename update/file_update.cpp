#include "update/file_update.h"

#include <windows.h>
#include <algorithm>
#include "base/exceptions.h"
#include "base/text_932.h"
#include "paths/wide_paths.h"
#include "update/interrupted_update.h"
#include "update/lock_retry.h"

namespace {

// The temporary files' prefix of a run without a journal.
const wchar_t* const kPlainPrefix = L"upd";

// The folder part of a relative path ("" for a name in the install folder
// itself), as the temporary file of its target is made there.
std::wstring FolderOf(const std::wstring& relative)
{
    const size_t slash = relative.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : relative.substr(0, slash);
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name)
{
    return folder.empty() ? name : folder + L"\\" + name;
}

std::wstring Hex(size_t value)
{
    std::wstring digits;
    do {
        digits.insert(digits.begin(), L"0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    } while (value != 0 || digits.size() < 4);
    return digits;
}

[[noreturn]] void RaiseNotReplaced(const std::wstring& target, DWORD error)
{
    SetLastError(error ? error : ERROR_ACCESS_DENIED);
    throw OCErrorException("ファイル %s が開けませんでした。", target);
}

// Renames from to to, waiting out locks and asking as an open does, naming
// shown. Ignore cannot leave an all-or-nothing update half done: it ends it
// like Abort. False only when from does not exist.
bool RenameOrRaise(const std::wstring& from, const std::wstring& to, const std::wstring& shown,
                   DWORD flags)
{
    LockRetry retry(shown, true);
    for (;;) {
        if (MoveFileExW(LongPathForm(from).c_str(), LongPathForm(to).c_str(), flags))
            return true;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return false;
        if (!retry.Again(error))
            RaiseNotReplaced(shown, error);
    }
}

}  // namespace

FileUpdate::FileUpdate(const std::wstring& installFolder, const std::vector<String>& items,
                       bool allOrNothing)
    : folder_(installFolder), allOrNothing_(allOrNothing), readyBytes_(0), committed_(false)
{
    for (const String& item : items) {
        const std::wstring folder = FolderOf(WideFrom932(item));
        if (std::find(folders_.begin(), folders_.end(), folder) == folders_.end())
            folders_.push_back(folder);
    }
}

FileUpdate::~FileUpdate()
{
    try {
        if (allOrNothing_ && !committed_)
            RollBack();
        ready_.clear();
        journal_.Remove();
    } catch (...) {
        // Best effort: what is left is cleaned up by the next run.
    }
}

bool FileUpdate::EnsureJournal()
{
    if (journal_.Created())
        return true;
    if (journal_.Create(folder_, allOrNothing_, folders_))
        return true;
    // A folder typed in the dialog may not exist yet: the first copy would
    // make it anyway.
    CreateDirectories(folder_);
    return journal_.Create(folder_, allOrNothing_, folders_);
}

void FileUpdate::Apply(const String& item, ProgressFunction progress, void* user)
{
    // Without its journal an all-or-nothing update could not be undone after
    // an interruption; an item-by-item one goes on, as it always could.
    if (!EnsureJournal() && allOrNothing_)
        throw OCErrorException("ファイル書込に失敗しました。");
    const std::wstring relative = WideFrom932(item);
    const std::wstring target = folder_ + L"\\" + relative;
    const wchar_t* prefix = journal_.Created() ? journal_.RunPrefix().c_str() : kPlainPrefix;
    std::unique_ptr<PreparedCopy> copy(new PreparedCopy);
    if (!PrepareUpdateFile(TextOf(item), target, kReplaceExisting, kNoReadOnly, progress, user,
                           prefix, *copy))
        return;
    if (!allOrNothing_) {
        PutInPlace(*copy);
        return;
    }
    LARGE_INTEGER size = {};
    GetFileSizeEx(copy->file.Get(), &size);
    readyBytes_ += uint64_t(size.QuadPart);
    ready_.push_back(std::move(copy));
    relativeTargets_.push_back(relative);
}

void FileUpdate::Commit()
{
    if (allOrNothing_ && !committed_)
        ReplaceAll();
    committed_ = true;
}

void FileUpdate::ReplaceAll()
{
    // The whole plan is on disk before the first target moves.
    std::vector<JournalReplacement> plan;
    for (size_t i = 0; i < ready_.size(); ++i) {
        const std::wstring& relative = relativeTargets_[i];
        const std::wstring& copyPath = ready_[i]->file.Path();
        const std::wstring copy = Joined(FolderOf(relative), copyPath.substr(copyPath.rfind(L'\\') + 1));
        const bool exists =
            GetFileAttributesW(LongPathForm(folder_ + L"\\" + relative).c_str()) != INVALID_FILE_ATTRIBUTES;
        const std::wstring backup =
            exists ? Joined(FolderOf(relative), journal_.RunPrefix() + Hex(i) + L".bak") : std::wstring();
        plan.push_back(JournalReplacement(relative, copy, backup));
    }
    if (!plan.empty() && !journal_.WriteReplacing(plan))
        throw OCErrorException("ファイル書込に失敗しました。");

    for (size_t i = 0; i < ready_.size(); ++i) {
        PreparedCopy& copy = *ready_[i];
        if (!plan[i].backup.empty())
            RenameOrRaise(copy.target, folder_ + L"\\" + plan[i].backup, copy.target,
                          MOVEFILE_WRITE_THROUGH);
        LockRetry retry(copy.target, true);
        while (!copy.file.RenameOver(copy.target, true)) {
            const DWORD error = GetLastError();
            if (!retry.Again(error))
                RaiseNotReplaced(copy.target, error);
        }
        // After the rename: name tunnelling would give the file the replaced
        // one's creation time.
        copy.SetTimesAndAttributes();
    }
    journal_.WriteMark(kJournalComplete);
    committed_ = true;
    ready_.clear();
    DropBackups(folder_, journal_.Contents());
}

void FileUpdate::RollBack()
{
    const bool replacing = journal_.Contents().replacing;
    if (replacing)
        journal_.WriteMark(kJournalRollingBack);
    // Closed first: a copy that took its target's place is still open, and a
    // file cannot be renamed over while it is; copies not in place go.
    ready_.clear();
    if (replacing)
        PutBack(folder_, journal_.Contents());
    RemoveRunCopies(folder_, journal_.Contents());
}
