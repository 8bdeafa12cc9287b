#include "update/interrupted_update.h"

#include <windows.h>
#include "base/owned.h"
#include "paths/wide_paths.h"

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

bool IsHexDigit(wchar_t c)
{
    return (c >= L'0' && c <= L'9') || (c >= L'A' && c <= L'F');
}

// <prefix>XXXX.tmp, the name TemporaryFile gives the run's copies.
bool IsRunCopy(const std::wstring& name, const std::wstring& prefix)
{
    if (name.size() != prefix.size() + 8 || name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(prefix.size() + 4, 4, L".tmp") != 0)
        return false;
    for (size_t i = prefix.size(); i < prefix.size() + 4; ++i)
        if (!IsHexDigit(name[i]))
            return false;
    return true;
}

}  // namespace

bool PutBack(const std::wstring& installFolder, const JournalContents& contents)
{
    bool done = true;
    // Last first: the same target may be listed more than once.
    for (auto it = contents.replacements.rbegin(); it != contents.replacements.rend(); ++it) {
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
            } else if (Exists(backup)) {
                SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
                done = MoveFileExW(backup.c_str(), target.c_str(),
                                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) &&
                       done;
            }
        } else if (!Exists(copy)) {
            // New to the folder, and the copy took its place.
            Remove(target);
        }
        Remove(copy);
    }
    RemoveRunCopies(installFolder, contents);
    return done;
}

void DropBackups(const std::wstring& installFolder, const JournalContents& contents)
{
    for (const JournalReplacement& replacement : contents.replacements)
        if (!replacement.backup.empty())
            Remove(Full(installFolder, replacement.backup));
}

void RemoveRunCopies(const std::wstring& installFolder, const JournalContents& contents)
{
    if (contents.runPrefix.empty())
        return;
    for (const std::wstring& folder : contents.folders) {
        const std::wstring base = Full(installFolder, folder);
        WIN32_FIND_DATAW found;
        const FindOwner find(
            FindFirstFileW((base + L"\\" + contents.runPrefix + L"*.tmp").c_str(), &found));
        if (!find.Valid())
            continue;
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                IsRunCopy(found.cFileName, contents.runPrefix))
                Remove(base + L"\\" + found.cFileName);
        } while (FindNextFileW(find.Get(), &found));
    }
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
    for (const std::wstring& journal : JournalsIn(installFolder)) {
        JournalContents contents;
        if (!ReadJournal(journal, contents))
            continue;
        if (contents.allOrNothing && contents.replacing) {
            if (ReplacedAll(installFolder, contents))
                DropBackups(installFolder, contents);
            else if (!PutBack(installFolder, contents))
                continue;  // a target still held: the journal stays for the next run
        }
        RemoveRunCopies(installFolder, contents);
        Remove(LongPathForm(journal));
    }
}
