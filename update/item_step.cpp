#include "update/item_step.h"

#include "base/exceptions.h"
#include "base/messages.h"
#include "base/owned.h"
#include "base/text_932.h"
#include "pak/archive_check.h"
#include "pak/archive_search.h"
#include "paths/folder_guard.h"
#include "paths/target_probe.h"
#include "paths/wide_paths.h"
#include "system/native_file.h"
#include "update/update_decision.h"

namespace {

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(LongPathForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The source's length on disk; 0 for a folder or when it cannot be read.
uint64_t SourceSize(const std::wstring& source)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(source.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return 0;
    return uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// What the copy meets at the target when nothing is there: the folders on
// the way are created, and a file standing in for one blocks them.
PromptCause MissingTargetCause(const std::wstring& target, ItemRecord& record)
{
    std::wstring folder = ContainingFolder(target);
    while (!Exists(folder) && ContainingFolder(folder) != folder)
        folder = ContainingFolder(folder);
    const DWORD attributes = GetFileAttributesW(LongPathForm(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return PromptNone;
    record.path = folder;
    return PromptFolderIsFile;
}

// Why the copy of the record's source over its target would ask, as the
// copy judges it when it opens both.
PromptCause CauseOfPrompt(ItemRecord& record)
{
    const std::wstring& source = record.name;
    const DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    if (sourceAttributes != INVALID_FILE_ATTRIBUTES && (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return PromptSourceIsFolder;
    Handle in;
    if (!OpenFile(FileOpen::ReadAsStream, FilePlace(source), in)) {
        record.error = GetLastError();
        return PromptSourceUnreadable;
    }
    if (record.target.empty())
        return PromptNone;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const DWORD error = ProbeTarget(record.target, attributes);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return MissingTargetCause(record.target, record);
    if (error == 0)
        return PromptNone;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PromptTargetIsFolder;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return PromptTargetReadOnly;
    record.error = error;
    return PromptTargetHeld;
}

ItemVerdict Stop(ItemRecord& record, DWORD code, const std::wstring& message)
{
    record.error = code;
    record.stopMessage = message;
    return record.verdict = VerdictStop;
}

}  // namespace

std::wstring ItemTarget(const std::wstring& installFolder, const std::wstring& item)
{
    return installFolder + L"\\" + item;
}

ItemVerdict DecideItem(ItemRecord& record, bool checkArchive)
{
    if (record.refusal != ItemAccepted)
        return record.verdict = VerdictRefused;
    if (record.listedAgain)
        return record.verdict = VerdictListedAgain;
    if (!PathExists(record.Text()))
        return record.verdict = VerdictMissing;
    record.prompt = PromptNone;
    record.error = 0;
    if (!DecideUpdate(record.Text(), record.target, record.decision))
        return record.verdict = VerdictSkip;
    // An installed copy that is there but cannot be read is never taken as
    // missing: an older file would replace a newer one held by a program.
    Handle installed;
    if (record.decision.kind != ItemPlain && record.decision.targetVersion.IsEmpty() &&
        GetFileAttributesW(LongPathForm(record.target).c_str()) != INVALID_FILE_ATTRIBUTES &&
        !OpenFile(FileOpen::ReadBesideWriters, FilePlace(LongPathForm(record.target)), installed) &&
        GetLastError() != ERROR_FILE_NOT_FOUND && GetLastError() != ERROR_PATH_NOT_FOUND) {
        record.error = GetLastError();
        record.prompt = PromptTargetUnreadable;
        return record.verdict = VerdictPrompt;
    }
    // A damaged archive never takes the place of the installed one: every
    // entry's data is inflated and checked before the first byte is copied.
    if (checkArchive && record.decision.kind == ItemArchive)
        CheckArchiveIsSound(record.name, CheckFull);
    record.size = SourceSize(record.name);
    return record.verdict = VerdictApply;
}

ItemVerdict DecideItemKeepingFailure(ItemRecord& record, bool checkArchive)
{
    try {
        return DecideItem(record, checkArchive);
    } catch (const OCErrorException& failure) {
        return Stop(record, failure.code, failure.wideMessage);
    }
}

ItemVerdict PredictCopy(ItemRecord& record)
{
    if (record.verdict != VerdictApply)
        return record.verdict;
    const std::wstring& source = record.name;
    // The copy refuses to write through a link below the install folder:
    // the folders on the way looked at as the copy holds them, none made.
    if (record.target.size() > source.size() &&
        (!FolderGuard(record.target.substr(0, record.target.size() - source.size() - 1), false)
              .Hold(RelativeFolderOf(source)) ||
         IsLink(record.target))) {
        String message;
        message.Format(kRefusedItemText, record.Text());
        return Stop(record, ERROR_CANT_RESOLVE_FILENAME, WideFrom932(message.text));
    }
    if (!record.target.empty() && Exists(record.target) && NamesSameFile(source, record.target))
        return record.verdict = VerdictSameFile;
    record.prompt = CauseOfPrompt(record);
    if (record.prompt != PromptNone)
        return record.verdict = VerdictPrompt;
    return record.verdict;
}

void RaiseKeptFailure(const ItemRecord& record)
{
    SetLastError(record.error);
    throw OCErrorException("%s", record.stopMessage);
}
