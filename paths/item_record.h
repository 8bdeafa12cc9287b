#pragma once
// One listed item of a run, made once from update.ini's list and carried
// through every stage: its name converted once, judged once by the item
// rule, its repeats resolved once, its target, its decision and where its
// turn goes. Both programs read the same records: the updater acts on them,
// the publisher's tool reports them.

#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "base/string.h"
#include "paths/item_rule.h"

// By the text after the item's last dot (a folder part included), case
// ignored.
enum ItemKind {
    ItemExecutable,  // "exe", "dll": compared by FileVersion text
    ItemArchive,     // "pak": compared by archive revision text
    ItemPlain,       // anything else, or no dot: always applied
};

ItemKind KindOfItem(const char* item);

enum ItemVerdict {
    VerdictRefused,      // the item rule refuses the name: the run ends before its dialog
    VerdictMissing,      // no plain file or folder of that name: skipped
    VerdictSkip,         // the version decision keeps the installed copy
    VerdictSameFile,     // the target is the shipped file itself: nothing to copy
    VerdictPrompt,       // the copy asks the user (Abort, Retry, Ignore)
    VerdictApply,        // copied
    VerdictStop,         // the run ends here in its error box
    VerdictListedAgain,  // the same item comes again later: only its last listing counts
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
    PromptTargetUnreadable,  // error: why the installed copy's version cannot be read
};

// The version texts read for the decision, and the decision.
class UpdateDecision {
public:
    ItemKind kind = ItemPlain;
    String sourceVersion;  // empty for plain items, and when none was found
    String targetVersion;
    bool apply = false;

    virtual ~UpdateDecision() {}
};

class ItemRecord {
public:
    String item;            // as listed: code page 932, relative to the update folder
    std::wstring name;      // the same in UTF-16, converted once
    ItemRefusal refusal = ItemAccepted;
    bool listedAgain = false;  // a later listing names the same item (ItemKey)
    std::wstring target;    // the install folder, a backslash and the item; empty
                            // until the install folder is known
    ItemVerdict verdict = VerdictMissing;
    UpdateDecision decision;   // kind from the name; versions once decided
    uint64_t size = 0;      // the source's length on disk (Apply, Prompt)
    PromptCause prompt = PromptNone;
    DWORD error = 0;        // the prompt's platform error; Stop: the error box's code
    std::wstring path;      // PromptFolderIsFile: that file
    std::wstring stopMessage;  // Stop: the error box's message

    explicit ItemRecord(const String& listed);
    virtual ~ItemRecord() {}

    // Whether the run takes this listing at all: accepted, and its last one.
    bool Taken() const { return refusal == ItemAccepted && !listedAgain; }
    const char* Text() const { return TextOf(item); }
};

// The records of a run's list, in order: each name judged, each repeat
// marked (all but the last listing of an item).
std::vector<ItemRecord> MakeItemRecords(const std::vector<String>& files);

// The first record the item rule refuses; null when none.
const ItemRecord* FirstRefused(const std::vector<ItemRecord>& records);
