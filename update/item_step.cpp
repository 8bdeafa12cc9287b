#include "update/item_step.h"

#include <algorithm>

#include "base/exceptions.h"
#include "base/messages.h"
#include "base/owned.h"
#include "base/text_932.h"
#include "pak/archive_check.h"
#include "pak/archive_search.h"
#include "paths/wide_paths.h"
#include "paths/folder_guard.h"
#include "paths/item_rule.h"
#include "paths/target_probe.h"

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
PromptCause MissingTargetCause(const std::wstring& target, ItemStep& step)
{
    std::wstring folder = ContainingFolder(target);
    while (!Exists(folder) && ContainingFolder(folder) != folder)
        folder = ContainingFolder(folder);
    const DWORD attributes = GetFileAttributesW(LongPathForm(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return PromptNone;
    step.path = folder;
    return PromptFolderIsFile;
}

// Why the copy of source over the step's target would ask, as the copy
// judges it when it opens both.
PromptCause CauseOfPrompt(const std::wstring& source, ItemStep& step)
{
    const DWORD sourceAttributes = GetFileAttributesW(source.c_str());
    if (sourceAttributes != INVALID_FILE_ATTRIBUTES && (sourceAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return PromptSourceIsFolder;
    // As the runtime's reading open shares the file.
    const Handle in(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!in.Valid()) {
        step.error = GetLastError();
        return PromptSourceUnreadable;
    }
    if (step.target.empty())
        return PromptNone;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    const DWORD error = ProbeTarget(step.target, attributes);
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return MissingTargetCause(step.target, step);
    if (error == 0)
        return PromptNone;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return PromptTargetIsFolder;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return PromptTargetReadOnly;
    step.error = error;
    return PromptTargetHeld;
}

ItemVerdict Stop(ItemStep& step, DWORD code, const std::wstring& message)
{
    step.error = code;
    step.stopMessage = message;
    return step.verdict = VerdictStop;
}

}  // namespace

ItemStep::ItemStep(const char* item, const std::wstring& target)
    : target(target), verdict(VerdictMissing), size(0), prompt(PromptNone), error(0)
{
    this->item.Format("%s", item);
}

ItemStep::~ItemStep() {}

std::vector<bool> ListedAgainLater(const std::vector<String>& items)
{
    std::vector<std::wstring> names(items.size());
    for (size_t i = 0; i < items.size(); ++i) {
        names[i] = WideFrom932(TextOf(items[i]));
        for (wchar_t& c : names[i])
            if (c == L'/')
                c = L'\\';
    }
    const auto compare = [&names](size_t a, size_t b) {
        return CompareStringOrdinal(names[a].c_str(), int(names[a].size()), names[b].c_str(),
                                    int(names[b].size()), TRUE);
    };
    std::vector<size_t> order(items.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    // Equal names stay in list order, so each but the last of a run of them
    // is listed again later.
    std::stable_sort(order.begin(), order.end(),
                     [&compare](size_t a, size_t b) { return compare(a, b) == CSTR_LESS_THAN; });
    std::vector<bool> again(items.size(), false);
    for (size_t i = 1; i < order.size(); ++i)
        if (compare(order[i - 1], order[i]) == CSTR_EQUAL)
            again[order[i - 1]] = true;
    return again;
}

std::wstring ItemTarget(const std::wstring& installFolder, const char* item)
{
    return installFolder + L"\\" + WideFrom932(item);
}

ItemVerdict TakeItemStep(ItemStep& step, CheckDepth archiveDepth)
{
    const char* source = TextOf(step.item);
    if (JudgeItem(source) != ItemAccepted)
        return step.verdict = VerdictRefused;
    if (!PathExists(source))
        return step.verdict = VerdictMissing;
    if (!DecideUpdate(source, step.target, step.decision))
        return step.verdict = VerdictSkip;
    const std::wstring wide = WideFrom932(source);
    // A damaged archive never takes the place of the installed one: every
    // entry's data is inflated and checked before the first byte is copied.
    if (step.decision.kind == ItemArchive)
        CheckArchiveIsSound(wide, archiveDepth);
    step.size = SourceSize(wide);
    return step.verdict = VerdictApply;
}

ItemVerdict PredictItemStep(ItemStep& step, uint64_t roomLeft)
{
    try {
        if (TakeItemStep(step) != VerdictApply)
            return step.verdict;
    } catch (const OCErrorException& failure) {
        return Stop(step, failure.code, failure.wideMessage);
    }
    const std::wstring source = WideFrom932(TextOf(step.item));
    // The copy refuses to write through a link below the install folder.
    if (step.target.size() > source.size() &&
        !NoLinkBelow(step.target.substr(0, step.target.size() - source.size() - 1), source)) {
        String message;
        message.Format(kRefusedItemText, TextOf(step.item));
        return Stop(step, ERROR_CANT_RESOLVE_FILENAME, WideFrom932(message.text));
    }
    if (!step.target.empty() && Exists(step.target) && NamesSameFile(source, step.target))
        return step.verdict = VerdictSameFile;
    step.prompt = CauseOfPrompt(source, step);
    if (step.prompt != PromptNone)
        return step.verdict = VerdictPrompt;
    // Every copy of an all-or-nothing run waits beside its target until the
    // last is written.
    if (step.size > roomLeft)
        return Stop(step, ERROR_DISK_FULL, WideFrom932(kWriteFailedText));
    return step.verdict;
}
