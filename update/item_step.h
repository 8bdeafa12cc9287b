#pragma once
// One listed item's turn in the run, judged once for both programs: the
// updater takes this step before each copy, and the publisher's tool
// predicts the whole turn with it, the copy's prompt included, so the two
// cannot disagree.

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "base/string.h"
#include "pak/archive_check.h"
#include "update/update_decision.h"

enum ItemVerdict {
    VerdictRefused,   // JudgeItem refuses the name: the run ends before its dialog
    VerdictMissing,   // no plain file or folder of that name: skipped
    VerdictSkip,      // the version decision keeps the installed copy
    VerdictSameFile,  // the target is the shipped file itself: nothing to copy
    VerdictPrompt,    // the copy asks the user (Abort, Retry, Ignore)
    VerdictApply,     // copied
    VerdictStop,      // the run ends here in its error box
    VerdictListedAgain,  // the same target comes again later: only its last listing counts
};

// Why the copy would ask, as it finds things when it opens source and target.
enum PromptCause {
    PromptNone,
    PromptSourceIsFolder,    // a folder cannot be opened as a file
    PromptSourceUnreadable,  // error: what the open gives
    PromptFolderIsFile,      // path: a file stands where a folder of the target goes
    PromptTargetIsFolder,
    PromptTargetReadOnly,    // Windows refuses to replace it (Wine would not)
    PromptTargetHeld,        // error: why it cannot be replaced now
};

class ItemStep {
public:
    String item;               // as listed: code page 932, relative to the update folder
    std::wstring target;       // where it goes (UTF-16: the install folder comes from the system)
    ItemVerdict verdict;
    UpdateDecision decision;   // as far as it was taken
    uint64_t size;             // the source's length on disk (Apply, Prompt, room Stop)
    PromptCause prompt;
    DWORD error;               // the prompt's platform error; Stop: the error box's code
    std::wstring path;         // PromptFolderIsFile: that file
    std::wstring stopMessage;  // Stop: the error box's message

    ItemStep(const char* item, const std::wstring& target);
    virtual ~ItemStep();
};

// For each item, whether a later item names the same target, as the system
// compares names (case ignored, "/" as "\\"): the updater applies a target
// once, from its last listing, so that an all-or-nothing run does not meet
// its own copy.
std::vector<bool> ListedAgainLater(const std::vector<String>& items);

// The run's join: the install folder, a backslash and the item.
std::wstring ItemTarget(const std::wstring& installFolder, const char* item);

// The updater's own step, up to the copy: Refused, Missing, Skip or Apply.
// An archive about to be applied is checked first (CheckArchiveIsSound),
// to the full depth unless the caller only sums up sizes. Raises what the
// decision and the check raise; the run ends there.
ItemVerdict TakeItemStep(ItemStep& step, CheckDepth archiveDepth = CheckFull);

// The whole turn as it would go now, changing nothing: TakeItemStep with its
// failure caught (Stop), then what the copy meets at source and target
// (SameFile, Prompt), and the link below the install folder the copy refuses
// to write through (Stop, as kRefusedItemText). roomLeft: the bytes still
// free beside the targets for an all-or-nothing run (UINT64_MAX otherwise);
// an item that does not fit stops the run with the write failure (code
// ERROR_DISK_FULL). An empty target is not looked at. Passes on only a bare
// out-of-memory code.
ItemVerdict PredictItemStep(ItemStep& step, uint64_t roomLeft = UINT64_MAX);
